#include "scan_run.h"

#include <algorithm>
#include <filesystem>

#include "scanner_for.h"

namespace pc {

namespace {

// Removes the run's copies that no scan after `code` in the queue reads.
void removeCopiesDoneWith(const RunGlobals& run, CategoryCode code) {
    const auto self = std::find(run.ScanQueue.begin(), run.ScanQueue.end(), code);
    for (const std::string& copy : run.copies) {
        const bool readLater = self != run.ScanQueue.end() &&
                               std::any_of(self + 1, run.ScanQueue.end(), [&](CategoryCode later) {
                                   return run.SourcePaths[sourcePathSlot(later)] == copy;
                               });
        if (readLater || run.SourcePaths[sourcePathSlot(code)] != copy) continue;
        std::error_code ignored;
        for (const char* suffix : {"", "-wal", "-journal"})
            std::filesystem::remove(copy + suffix, ignored);
    }
}

}  // namespace

ScanOutcome runQueuedScan(RunGlobals& run, CategoryCode code, ScanEvents& events,
                          ResultStore& store, ScanState& state) {
    selectCategory(run, code);
    const ScanOutcome outcome = scannerFor(code)->run(events, store, state, run);
    if (outcome == ScanOutcome::Completed) removeCopiesDoneWith(run, code);
    return outcome;
}

}  // namespace pc
