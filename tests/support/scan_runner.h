// Runs one category scan headlessly and keeps what it reported.
#pragma once

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "category_scanner.h"
#include "recording_host.h"

namespace pc::testing {

struct ScanRun {
    RecordingHost host;
    ResultStore store;
    ScanState state;
    RunPlan globals;
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

// Found rows that match no row a test wrote. One whose header fields (`head`) match a written
// row is a stale copy that a later cell partly overwrote, and must have been found deleted; the
// rest are headers that merely look like the table's, counted as noise.
template <typename Rows, typename Full, typename Head, typename FullOf, typename HeadOf>
int countNoise(const Rows& rows, const std::set<Full>& written, const std::set<Head>& headers,
               FullOf full, HeadOf head) {
    int noise = 0;
    for (const auto& r : rows) {
        if (written.count(full(r))) continue;
        if (headers.count(head(r))) {
            EXPECT_EQ(r.state, RecordState::Deleted)
                << "a live row with a damaged field at " << r.found.offset;
            continue;
        }
        ++noise;
    }
    return noise;
}

// C0 control bytes other than TAB, LF and CR: what no phone stores in a text.
inline bool holdsControlBytes(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r')
            return true;
    return false;
}

// A millisecond timestamp as the scanners render it, worked out independently with gmtime.
std::string utcPlus8Text(std::int64_t ms);

}  // namespace pc::testing
