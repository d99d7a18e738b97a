// The choice a run hands to the scanners: where the databases are and what to scan.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "result_types.h"

namespace pc {

enum class ScanSource : std::uint8_t { DatabaseFile = 0, Phone = 1 };

struct RunGlobals {
    ScanSource source = ScanSource::DatabaseFile;
    std::vector<CategoryCode> ScanQueue;
    // [0] the contacts database (read for contacts and call log), [1] the SMS database.
    std::array<std::string, 2> SourcePaths;
    CategoryCode CurrentCategory = CategoryCode::Contacts;
    std::string CurrentDbPath;
    // The Windows long-path form; on this platform the plain path.
    std::string CurrentDbLongPath;
    // List every copy of a row found (a live row's stale copies, a deleted row's repeats), not
    // each row once.
    bool allCopies = false;
    // Dates are shown at this offset from UTC; the checks of carved dates stay in UTC+8.
    std::int64_t utcOffsetSeconds = 8 * 3600;
};

// The SourcePaths entry a category reads.
inline std::size_t sourcePathSlot(CategoryCode code) {
    return code == CategoryCode::Sms ? 1 : 0;
}

// Points the current-path globals at the database of `code`.
inline void selectCategory(RunGlobals& g, CategoryCode code) {
    g.CurrentCategory = code;
    g.CurrentDbPath = g.SourcePaths[sourcePathSlot(code)];
    g.CurrentDbLongPath = g.CurrentDbPath;
}

// ScanHalted is 0 while a scan runs; the stop command and every end of a scan set it to 1.
struct ScanState {
    std::uint8_t ScanHalted = 1;
};

}  // namespace pc
