#include "scan_run.h"

#include <algorithm>
#include <filesystem>

#include "file_error.h"
#include "scanner_for.h"
#include "source_file.h"

namespace pc {

namespace {

// Removes the run's copies that no scan after the queue's entry `at` reads.
// Whether the scan of `database` reads `copy`: itself, or WhatsApp's names (wa.db) beside its
// msgstore.db.
bool reads(const std::string& database, const std::string& copy) {
    namespace fs = std::filesystem;
    if (database == copy) return true;
    return fs::path(copy).filename() == "wa.db" && fs::path(database).filename() == "msgstore.db" &&
           fs::path(copy).parent_path() == fs::path(database).parent_path();
}

void removeCopiesDoneWith(const RunPlan& run, std::size_t at) {
    for (const std::string& copy : run.copies) {
        bool readLater = false;
        for (std::size_t later = at + 1; later < run.ScanQueue.size(); ++later)
            readLater = readLater || reads(run.pathAt(later), copy);
        if (readLater || !reads(run.pathAt(at), copy)) continue;
        std::error_code ignored;
        std::filesystem::remove(copy, ignored);
        for (const SideFileKind& side : kSideFiles)
            std::filesystem::remove(copy + side.suffix, ignored);
    }
}

}  // namespace

ScanOutcome runQueuedScan(RunPlan& run, std::size_t at, ScanEvents& events, ResultStore& store,
                          ScanState& state) {
    const CategoryCode code = run.ScanQueue.at(at);
    const std::string path = run.pathAt(at);
    run.SourcePaths[index(code)] = path;
    run.keepCategoryRows =
        std::find(run.ScanQueue.begin(), run.ScanQueue.begin() + static_cast<std::ptrdiff_t>(at),
                  code) != run.ScanQueue.begin() + static_cast<std::ptrdiff_t>(at);
    const ScanOutcome outcome = scannerFor(code)->run(events, store, state, run);
    run.keepCategoryRows = false;
    if (outcome == ScanOutcome::Completed) removeCopiesDoneWith(run, at);
    return outcome;
}

bool runQueue(RunPlan& plan, ScanEvents& events, ResultStore& store, ScanState& state,
              const QueueHooks& hooks) {
    bool all = true;
    for (std::size_t at = 0; at < plan.ScanQueue.size(); ++at) {
        const CategoryCode code = plan.ScanQueue[at];
        plan.SourcePaths[index(code)] = plan.pathAt(at);
        if (hooks.before && !hooks.before(code)) return false;
        const ScanOutcome outcome = runQueuedScan(plan, at, events, store, state);
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
