// A report of a run a reader can check and hand on: DIR/index.html (the program, the command, the
// times and their UTC offset, each source file with its SHA-256 before and after the scan, the
// counts) and linked pages of every category's rows and of the conversations, small enough for
// any browser. Plain HTML and CSS: it reads offline, with no script; every text is escaped.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "file_digest.h"
#include "result_store.h"

namespace pc {

struct ReportFacts {
    std::string title;
    std::string examiner;  // empty: not shown
    std::string version;
    std::string command;
    std::string started, ended;  // as shown, in the run's UTC offset
    std::int64_t utcOffsetSeconds = 8 * 3600;
    // Before and after the scan; after without a SHA-256: the file is gone (a phone's copy).
    std::vector<std::pair<FileFacts, FileFacts>> sources;
};

// Rows on one page of a category or of the conversations.
inline constexpr std::size_t kReportRowsPerPage = 5000;

// Writes the report into `dir` (made if missing); returns the files written, index.html first.
// Throws ExportError naming a file that could not be written.
std::vector<std::string> writeHtmlReport(const std::string& dir, const ReportFacts& facts,
                                         const ResultStore& store,
                                         const std::function<void()>& pump = {});

// "UTC+8", "UTC-3:30".
std::string utcOffsetName(std::int64_t seconds);

// A Unix time in seconds as "yyyy-mm-dd hh:mm:ss" at `offset` seconds from UTC.
std::string shownTime(std::int64_t unix, std::int64_t offset);

}  // namespace pc
