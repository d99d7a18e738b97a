#include "report_command.h"

#include <chrono>
#include <filesystem>
#include <iostream>
#include <set>
#include <system_error>

#include "category_profile.h"
#include "html_report.h"
#include "kept_rows_host.h"
#include "scan_command.h"
#include "scan_run.h"
#include "source_file.h"
#include "text_export.h"

namespace pc::cli {

namespace {

std::int64_t nowUnix() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string shown(std::int64_t unix, std::int64_t offset) {
    return shownTime(unix, offset) + " (" + utcOffsetName(offset) + ")";
}

// Every file the run reads: each database once, with its side files where they are.
std::vector<std::string> sourceFiles(const RunPlan& run) {
    std::vector<std::string> files;
    std::set<std::string> seen;
    for (std::size_t at = 0; at < run.ScanQueue.size(); ++at) {
        const std::string db = run.pathAt(at);
        if (!seen.insert(db).second) continue;
        files.push_back(db);
        for (const SideFileKind& side : kSideFiles)
            if (std::filesystem::exists(sideFilePath(db, side.source)))
                files.push_back(sideFilePath(db, side.source));
    }
    return files;
}

}  // namespace

int runReportCommand(const ReportOptions& o) {
    RunSources sources = o.sources;
    // The phone's copies are what the report describes: they stay beside it for its reader.
    if (sources.phone) sources.keepPhoneCopiesIn = joinPath(o.out, kPhoneCopiesFolder);
    std::optional<RunPlan> planned = planRun(sources, stderrNotes(o.quiet));
    if (!planned) return kSomethingFailed;
    RunPlan& run = *planned;
    run.utcOffsetSeconds = o.utcOffsetSeconds;

    ReportFacts facts;
    facts.title = o.title;
    facts.examiner = o.examiner;
    facts.version = o.version;
    facts.command = o.command;
    facts.utcOffsetSeconds = o.utcOffsetSeconds;
    facts.started = shown(nowUnix(), o.utcOffsetSeconds);
    const std::vector<std::string> files = sourceFiles(run);
    std::vector<FileFacts> before;
    try {
        for (const std::string& f : files)
            before.push_back(factsOf(f));
    } catch (const std::system_error& e) {
        std::cerr << e.what() << "\n";
        return kSomethingFailed;
    }

    ResultStore store;
    ScanState state;
    KeptRowsHost host(o.quiet);
    const bool all = runQueue(run, host, store, state);

    try {
        for (std::size_t i = 0; i < files.size(); ++i)
            facts.sources.push_back({before[i], factsOf(files[i])});
    } catch (const std::system_error& e) {
        std::cerr << e.what() << "\n";
        return kSomethingFailed;
    }
    facts.ended = shown(nowUnix(), o.utcOffsetSeconds);
    try {
        const std::vector<std::string> written = writeHtmlReport(o.out, facts, store);
        if (!o.quiet)
            std::cerr << "已保存 " << written.front() << " (" << written.size() << " 个文件)\n";
    } catch (const ExportError& e) {
        std::cerr << e.what() << "\n";
        return kOutputLost;
    }
    return all ? kAllScanned : kSomethingFailed;
}

}  // namespace pc::cli
