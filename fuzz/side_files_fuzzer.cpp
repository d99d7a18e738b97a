// Whole scans of a database with a write-ahead log and a rollback journal beside it, all three
// hostile: the log and journal readers, the newest state they make, the page map built on it and
// the carve of every older image. The input is
//   [category][log length, 4 bytes][journal length, 4 bytes][log][journal][database],
// written as FILE, FILE-wal and FILE-journal (a side file of length 0 is left out).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "result_store.h"
#include "scanner_for.h"
#include "silent_host.h"
#include "temp_dir.h"

namespace {

std::uint32_t be32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           p[3];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 9) return 0;
    const auto code = static_cast<pc::CategoryCode>(data[0] % 3);
    std::size_t walLength = be32(data + 1), journalLength = be32(data + 5);
    std::size_t rest = size - 9;
    walLength = std::min(walLength, rest);
    journalLength = std::min(journalLength, rest - walLength);
    const std::uint8_t* at = data + 9;

    static pc::testing::TempDir dir;
    const std::string path = dir.file("db");
    auto write = [](const std::string& file, const std::uint8_t* from, std::size_t n) {
        std::remove(file.c_str());
        if (n > 0) pc::testing::writeBytes(file, std::vector<std::uint8_t>(from, from + n));
    };
    write(path + "-wal", at, walLength);
    write(path + "-journal", at + walLength, journalLength);
    write(path, at + walLength + journalLength, rest - walLength - journalLength);

    pc::RunPlan run;
    run.ScanQueue = {code};
    run.SourcePaths[pc::index(code)] = path;
    pc::testing::SilentHost host;
    pc::ResultStore store;
    pc::ScanState state;
    pc::scannerFor(code)->run(host, store, state, run);
    return 0;
}
