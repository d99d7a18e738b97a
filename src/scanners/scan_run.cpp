#include "scan_run.h"

#include <algorithm>
#include <filesystem>

#include "file_error.h"
#include "scanner_for.h"
#include "source_file.h"

namespace pc {

namespace {

// Removes the run's copies that no scan after `code` in the queue reads.
void removeCopiesDoneWith(const RunPlan& run, CategoryCode code) {
    const auto self = std::find(run.ScanQueue.begin(), run.ScanQueue.end(), code);
    for (const std::string& copy : run.copies) {
        const bool readLater = self != run.ScanQueue.end() &&
                               std::any_of(self + 1, run.ScanQueue.end(), [&](CategoryCode later) {
                                   return run.pathOf(later) == copy;
                               });
        if (readLater || run.pathOf(code) != copy) continue;
        std::error_code ignored;
        std::filesystem::remove(copy, ignored);
        for (const SideFileKind& side : kSideFiles)
            std::filesystem::remove(copy + side.suffix, ignored);
    }
}

}  // namespace

ScanOutcome runQueuedScan(RunPlan& run, CategoryCode code, ScanEvents& events, ResultStore& store,
                          ScanState& state) {
    const ScanOutcome outcome = scannerFor(code)->run(events, store, state, run);
    if (outcome == ScanOutcome::Completed) removeCopiesDoneWith(run, code);
    return outcome;
}

bool runQueue(RunPlan& plan, ScanEvents& events, ResultStore& store, ScanState& state,
              const QueueHooks& hooks) {
    bool all = true;
    for (const CategoryCode code : plan.ScanQueue) {
        if (hooks.before && !hooks.before(code)) return false;
        const ScanOutcome outcome = runQueuedScan(plan, code, events, store, state);
        all = all && outcome == ScanOutcome::Completed;
        if (hooks.after) hooks.after(code, outcome);
    }
    return all;
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
