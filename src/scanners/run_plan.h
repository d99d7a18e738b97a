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
    // A code comes more than once where several databases of a kind are read, each its own scan.
    std::vector<CategoryCode> ScanQueue;
    // The database each category reads, by CategoryCode: contacts (contacts2.db), SMS
    // (mmssms.db), call log (calllog.db on Android 7 and later, else contacts2.db). The log and
    // journal beside a database are read with it. The run sets it to the file of each scan.
    PerCategory<std::string> SourcePaths;
    // The file of each entry of ScanQueue where the run reads several of a kind; empty: each
    // entry reads its category's SourcePaths.
    std::vector<std::string> queuedPaths;
    // Every table of this database is carved too (the window's "其它表"); "" for none.
    std::string otherTablesOf;
    // Files picked but not read: the same bytes as one that is. Said at the run's end.
    std::vector<std::string> duplicates;
    // Set by the run for a scan whose rows join those of an earlier scan of its category (a
    // further database of the kind), instead of replacing them.
    bool keepCategoryRows = false;
    // Copies made for the run (pulled from a phone): each goes, with its side files, after the
    // last scan of the run that reads it.
    std::vector<std::string> copies;
    // List every copy of a row found (a live row's stale copies, a deleted row's repeats), not
    // each row once.
    bool allCopies = false;
    // Dates are shown at this offset from UTC; the checks of carved dates stay in UTC+8.
    std::int64_t utcOffsetSeconds = 8 * 3600;

    const std::string& pathOf(CategoryCode code) const { return SourcePaths[index(code)]; }
    // The file the queue's entry `i` reads.
    const std::string& pathAt(std::size_t i) const {
        return i < queuedPaths.size() ? queuedPaths[i] : pathOf(ScanQueue.at(i));
    }
    // Queues a scan of `code` reading `path`.
    void queue(CategoryCode code, std::string path) {
        for (std::size_t i = queuedPaths.size(); i < ScanQueue.size(); ++i)
            queuedPaths.push_back(pathOf(ScanQueue[i]));
        if (pathOf(code).empty()) SourcePaths[index(code)] = path;
        ScanQueue.push_back(code);
        queuedPaths.push_back(std::move(path));
    }
};

// ScanHalted is 0 while a scan runs; the stop command and every end of a scan set it to 1.
struct ScanState {
    std::uint8_t ScanHalted = 1;
};

}  // namespace pc
