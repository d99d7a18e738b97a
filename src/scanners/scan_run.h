// The one routine that runs a run's scans, for the window and the command line alike.
#pragma once

#include <functional>

#include "category_scanner.h"
#include "window_words.h"

namespace pc {

// Runs the scan of the queue's entry `at` on its database, then removes the run's copies no later
// scan of the queue reads (not after a scan that ended early on an error: the copy stays for
// another try).
ScanOutcome runQueuedScan(RunPlan& run, std::size_t at, ScanEvents& events, ResultStore& store,
                          ScanState& state);

// What the one who runs a queue does around each scan: before it (false ends the run there) and
// after it. The plan's SourcePaths then names the scan's file.
struct QueueHooks {
    std::function<bool(CategoryCode)> before;
    std::function<void(CategoryCode, ScanOutcome)> after;
};

// Runs the plan's queue, each category's scan in turn, for the window and the command line
// alike. Returns whether every scan of it completed.
bool runQueue(RunPlan& plan, ScanEvents& events, ResultStore& store, ScanState& state,
              const QueueHooks& hooks = {});

// Carves every table of the database at `path` for the window, as a scan runs: `words` hears
// its rows and progress, and the stop command (`state`) ends it with what it found.
ScanOutcome runTableCarve(const std::string& path, CarveWords& words, ScanState& state);

}  // namespace pc
