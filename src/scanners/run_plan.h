// A run as it is handed to the scans: what to scan, in which order, from which files, and which
// of those files were made for the run. The dialog, the command line and the phone copy make one;
// runQueue runs it, each category's scan reading its own file from it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "result_types.h"

namespace pc {

enum class ScanSource : std::uint8_t { DatabaseFile = 0, Phone = 1 };

struct RunPlan {
    ScanSource source = ScanSource::DatabaseFile;
    std::vector<CategoryCode> ScanQueue;
    // The database each category reads, by CategoryCode: contacts (contacts2.db), SMS
    // (mmssms.db), call log (calllog.db on Android 7 and later, else contacts2.db). The log and
    // journal beside a database are read with it.
    PerCategory<std::string> SourcePaths;
    // Copies made for the run (pulled from a phone): each goes, with its side files, after the
    // last scan of the run that reads it.
    std::vector<std::string> copies;
    // List every copy of a row found (a live row's stale copies, a deleted row's repeats), not
    // each row once.
    bool allCopies = false;
    // Dates are shown at this offset from UTC; the checks of carved dates stay in UTC+8.
    std::int64_t utcOffsetSeconds = 8 * 3600;

    const std::string& pathOf(CategoryCode code) const { return SourcePaths[index(code)]; }
};

// ScanHalted is 0 while a scan runs; the stop command and every end of a scan set it to 1.
struct ScanState {
    std::uint8_t ScanHalted = 1;
};

}  // namespace pc
