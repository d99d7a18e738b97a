// The one routine that runs a run's scans, for the window and the command line alike.
#pragma once

#include <functional>

#include "category_scanner.h"

namespace pc {

// Runs the scan of `code` on its database, then removes the run's copies no later scan of the
// queue reads (not after a scan that ended early on an error: the copy stays for another try).
ScanOutcome runQueuedScan(RunGlobals& run, CategoryCode code, ScanEvents& events,
                          ResultStore& store, ScanState& state);

}  // namespace pc
