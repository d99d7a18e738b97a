// `phonecarve report`: the categories of the files given, scanned and written as an HTML report
// (DIR/index.html and its pages), each source file's SHA-256 taken before and after.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace pc::cli {

struct ReportOptions {
    std::optional<std::string> contacts;
    std::optional<std::string> sms;
    std::optional<std::string> calls;
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
