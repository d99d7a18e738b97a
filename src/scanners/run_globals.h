// The choice a run hands to the scanners: where the databases are and what to scan.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "result_types.h"

namespace pc {

enum class ScanSource : std::uint8_t { DatabaseFile = 0, Phone = 1 };

// A run: what to scan, in which order, from which files, and which of those files were made for
// the run. The dialog, the command line and the phone copy make one; runQueuedScan runs it.
struct RunGlobals {
    ScanSource source = ScanSource::DatabaseFile;
    std::vector<CategoryCode> ScanQueue;
    // The database each category reads, by CategoryCode: [0] contacts (contacts2.db), [1] SMS
    // (mmssms.db), [2] call log (calllog.db on Android 7 and later, else contacts2.db). The log
    // and journal beside a database are read with it.
    std::array<std::string, 3> SourcePaths;
    // Copies made for the run (pulled from a phone): each goes, with its -wal and -journal, after
    // the last scan of the run that reads it.
    std::vector<std::string> copies;
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
    return static_cast<std::size_t>(code);
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
