// Whole scans of hostile files: image loader, SQLite layer, signature, carver and each scanner's
// record checks together. The first byte chooses the case:
//   0, 1, 2: the rest becomes the pages after a real first page of a contacts, SMS or call-log
//            database, so the carver and the scanner's checks see arbitrary pages;
//   anything else: the rest is the whole file, header included.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "contacts_fixture.h"
#include "memory_file.h"
#include "result_store.h"
#include "scanner_for.h"
#include "silent_host.h"
#include "temp_dir.h"

namespace {

constexpr std::uint32_t kPage = 1024;

// The first page of a small database of each category, its page count set to 0 so that the
// file's own length decides how many pages are scanned.
std::vector<std::uint8_t> firstPages[3];

void buildFirstPages() {
    pc::testing::TempDir dir;
    const auto paths = pc::fixtures::buildOneOfEach(dir.path().string(), kPage, 3);
    for (int i = 0; i < 3; ++i) {
        auto bytes = pc::testing::readBytes(paths[static_cast<std::size_t>(i)]);
        bytes.resize(kPage);
        bytes[28] = bytes[29] = bytes[30] = bytes[31] = 0;
        firstPages[i] = bytes;
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    buildFirstPages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t choice = data[0];
    std::vector<std::uint8_t> file;
    pc::CategoryCode code = pc::CategoryCode::Sms;
    if (choice < 3) {
        code = static_cast<pc::CategoryCode>(choice);
        file = firstPages[choice];
    } else {
        code = static_cast<pc::CategoryCode>(choice % 3);
    }
    file.insert(file.end(), data + 1, data + size);
    pc::fuzz::MemoryFile memory(file.data(), file.size());

    pc::RunPlan run;
    run.ScanQueue = {code};
    run.SourcePaths[pc::index(code)] = memory.path();
    pc::testing::SilentHost host;
    pc::ResultStore store;
    pc::ScanState state;
    pc::scannerFor(code)->run(host, store, state, run);
    return 0;
}
