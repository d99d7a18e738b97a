#include "scan_run.h"

#include <algorithm>
#include <filesystem>

#include "file_error.h"
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

ScanOutcome runTableCarve(const std::string& path, CarveWords& words, ScanState& state) {
    state.ScanHalted = 0;
    words.started(path);
    ScanOutcome outcome = ScanOutcome::Completed;
    try {
        const CarveResult result = carveTables(path, words, {}, state.ScanHalted);
        words.finished(result.stopped);
    } catch (const NotADatabase&) {
        words.failed(failureText(CategoryCode::Sms, {ScanFailure::Reason::NotADatabase, {}}));
        outcome = ScanOutcome::EndedEarly;
    } catch (const FileError& e) {
        words.failed(e.what());
        outcome = ScanOutcome::EndedEarly;
    }
    state.ScanHalted = 1;
    return outcome;
}

}  // namespace pc
