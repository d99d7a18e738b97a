// Whole scans of arbitrary files: image loader, SQLite layer, signature, carver and the
// scanner's record checks together.
#include <cstddef>
#include <cstdint>

#include "memory_file.h"
#include "result_store.h"
#include "silent_host.h"
#include "sms_scanner.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    pc::fuzz::MemoryFile file(data, size);
    pc::RunGlobals run;
    run.ScanQueue = {pc::CategoryCode::Sms};
    run.SourcePaths[1] = file.path();
    pc::selectCategory(run, pc::CategoryCode::Sms);
    pc::testing::SilentHost host;
    pc::ResultStore store;
    pc::ScanState state;
    pc::SmsScanner().run(host, store, state, run);
    return 0;
}
