// Runs one category scan headlessly and keeps what it reported.
#pragma once

#include <string>

#include "category_scanner.h"
#include "recording_host.h"

namespace pc::testing {

struct ScanRun {
    RecordingHost host;
    ResultStore store;
    ScanState state;
    RunGlobals globals;
    ScanOutcome outcome = ScanOutcome::Completed;
};

inline void PrintTo(ScanOutcome o, std::ostream* os) {
    *os << (o == ScanOutcome::Completed ? "Completed" : "EndedEarly");
}

// Scans `path` for `code` with a fresh host and store.
void runScan(ScanRun& run, CategoryScanner& scanner, CategoryCode code, const std::string& path);

// The file's bytes after its first page, where the carver looks.
bool bytesOccurAfterFirstPage(const std::vector<std::uint8_t>& file, std::uint32_t pageSize,
                              const std::vector<std::uint8_t>& needle);

// A millisecond timestamp as the scanners render it, worked out independently with gmtime.
std::string utcPlus8Text(std::int64_t ms);

}  // namespace pc::testing
