#include "scan_runner.h"

#include <algorithm>
#include <ctime>

#include "window_words.h"

namespace pc::testing {

void runScan(ScanRun& run, CategoryScanner& scanner, CategoryCode code, const std::string& path) {
    run.globals.ScanQueue = {code};
    run.globals.SourcePaths[index(code)] = path;
    WindowWords words(run.host);
    run.outcome = scanner.run(words, run.store, run.state, run.globals);
}

bool bytesOccurAfterFirstPage(const std::vector<std::uint8_t>& file, std::uint32_t pageSize,
                              const std::vector<std::uint8_t>& needle) {
    if (file.size() <= pageSize) return false;
    return std::search(file.begin() + pageSize, file.end(), needle.begin(), needle.end()) !=
           file.end();
}

std::string utcPlus8Text(std::int64_t ms) {
    const std::time_t t = static_cast<std::time_t>(ms / 1000 + 8 * 3600);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[32];
    const bool midnight = tm.tm_hour == 0 && tm.tm_min == 0 && tm.tm_sec == 0;
    std::strftime(buf, sizeof buf, midnight ? "%Y-%m-%d" : "%Y-%m-%d %H:%M:%S", &tm);
    return buf;
}

}  // namespace pc::testing
