// What a report says of a run besides its rows: when it ran, and each file it read as it was
// before the scan and as it is when the report is written.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "file_digest.h"
#include "html_report.h"
#include "run_plan.h"

namespace pc {

struct RunFacts {
    std::int64_t startedUnix = 0;
    std::int64_t endedUnix = 0;  // 0 while the run goes on
    std::vector<FileFacts> before;
};

std::int64_t unixNow();

// Every file the run reads: each database once, with the side files that lie beside it.
std::vector<std::string> runSourceFiles(const RunPlan& run);

// The files' facts at the run's start. A database that is not there is left out (the run says it
// failed); throws std::system_error for a file there that cannot be read. `pump` runs between
// megabytes.
RunFacts factsBeforeRun(const RunPlan& run, const std::function<void()>& pump = {});

// The report's facts of a run: its times shown at `utcOffsetSeconds`, each file before and now (a
// file gone since, such as a phone's copy removed after its scan: no SHA-256). Throws
// std::system_error for a file there that cannot be read.
ReportFacts reportFactsOf(const RunFacts& run, std::int64_t utcOffsetSeconds,
                          const std::function<void()>& pump = {});

}  // namespace pc
