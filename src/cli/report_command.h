// `phonecarve report`: the categories of the files given, scanned and written as an HTML report
// (DIR/index.html and its pages), each source file's SHA-256 taken before and after.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "run_sources.h"

namespace pc::cli {

// The folder of the report that keeps the copies pulled from a phone.
inline constexpr const char* kPhoneCopiesFolder = "phone-files";

struct ReportOptions {
    RunSources sources;
    std::string out;
    std::string title = "PhoneCarve 恢复报告";
    std::string examiner;
    std::string command;  // as it was typed, for the report
    std::string version;  // the program's
    std::int64_t utcOffsetSeconds = 8 * 3600;
    bool quiet = false;
};

int runReportCommand(const ReportOptions& options);

}  // namespace pc::cli
