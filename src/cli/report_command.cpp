#include "report_command.h"

#include <iostream>
#include <system_error>

#include "category_profile.h"
#include "html_report.h"
#include "kept_rows_host.h"
#include "run_facts.h"
#include "scan_command.h"
#include "scan_run.h"
#include "text_export.h"

namespace pc::cli {

int runReportCommand(const ReportOptions& o) {
    RunSources sources = o.sources;
    // The phone's copies are what the report describes: they stay beside it for its reader.
    if (sources.phone) sources.keepPhoneCopiesIn = joinPath(o.out, kPhoneCopiesFolder);
    std::optional<RunPlan> planned = planRun(sources, stderrNotes(o.quiet));
    if (!planned) return kSomethingFailed;
    RunPlan& run = *planned;
    run.utcOffsetSeconds = o.utcOffsetSeconds;

    RunFacts runFacts;
    try {
        runFacts = factsBeforeRun(run);
    } catch (const std::system_error& e) {
        std::cerr << e.what() << "\n";
        return kSomethingFailed;
    }

    ResultStore store;
    ScanState state;
    KeptRowsHost host(o.quiet);
    const bool all = runQueue(run, host, store, state);
    runFacts.endedUnix = unixNow();

    ReportFacts facts;
    try {
        facts = reportFactsOf(runFacts, o.utcOffsetSeconds);
    } catch (const std::system_error& e) {
        std::cerr << e.what() << "\n";
        return kSomethingFailed;
    }
    facts.title = o.title;
    facts.examiner = o.examiner;
    facts.version = o.version;
    facts.command = o.command;
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
