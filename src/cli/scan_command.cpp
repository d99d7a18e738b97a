#include "scan_command.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "cli_host.h"
#include "kept_rows_host.h"
#include "scan_run.h"
#include "workbook_export.h"

namespace pc::cli {

namespace {

// Every row kept, then written as one workbook.
int runWorkbookScan(const ScanOptions& o) {
    std::optional<RunPlan> planned = planRun(o.sources, stderrNotes(o.quiet));
    if (!planned) return kSomethingFailed;
    RunPlan& run = *planned;
    run.allCopies = o.allCopies;
    run.utcOffsetSeconds = o.utcOffsetSeconds;
    ResultStore store;
    // Every row is kept until the workbook is written, in row order: bodies compressed, half
    // the memory for a third more time.
    store.keepLongTextsInBlocks(true);
    ScanState state;
    KeptRowsHost host(o.quiet);
    const bool all = runQueue(run, host, store, state);
    std::error_code ec;
    std::filesystem::create_directories(*o.out, ec);
    if (ec) {
        std::cerr << *o.out << ": " << ec.message() << "\n";
        return kSomethingFailed;
    }
    ExportRequest request;
    request.queue = run.ScanQueue;
    try {
        const WrittenFile file = writeWorkbook(joinPath(*o.out, kWorkbookName), request, store);
        if (!o.quiet) std::cerr << "已保存 " << file.path << " (" << file.rows << " 条)\n";
    } catch (const ExportError& e) {
        std::cerr << e.what() << "\n";
        return kOutputLost;
    }
    return all ? kAllScanned : kSomethingFailed;
}

}  // namespace

int runScanCommand(const ScanOptions& o) {
    if (o.workbook) return runWorkbookScan(o);
    ResultStore store;
    store.passRowsThrough(true);  // rows are written as they are found
    ScanState state;
    const TextEncoding encoding = o.encoding.value_or(
        o.out && o.format == OutputFormat::Tsv ? TextEncoding::Gb18030 : TextEncoding::Utf8);
    CliHost host(store, {o.format, encoding, o.out}, o.quiet, state);
    if (o.out) {
        std::error_code ec;
        std::filesystem::create_directories(*o.out, ec);
        if (ec) {
            host.note(*o.out + ": " + ec.message(), true);
            return kSomethingFailed;
        }
    }
    std::optional<RunPlan> run =
        planRun(o.sources, [&](const std::string& text, bool error) { host.note(text, error); });
    if (!run) return kSomethingFailed;
    run->allCopies = o.allCopies;
    run->utcOffsetSeconds = o.utcOffsetSeconds;

    // Rows that could not be written end the command: nothing after would be either.
    const bool all = runQueue(*run, host, store, state,
                              {[&](CategoryCode code) {
                                   host.startCategory(code, run->pathOf(code));
                                   return !host.outputLost();
                               },
                               {}});
    const int status = all ? kAllScanned : kSomethingFailed;
    if (!o.out) {
        if (!host.outputLost() && std::fflush(stdout) != 0)
            host.note(
                std::string("standard output: Stream write error (") + std::strerror(errno) + ")",
                true);
        else if (!host.outputLost())
            return host.partial() ? kSomethingFailed : status;
        return kOutputLost;
    }
    for (const std::string& path : host.written())
        host.note("已保存 " + path);
    if (host.outputLost()) return kOutputLost;
    host.note("恢复完成!");
    return host.partial() ? kSomethingFailed : status;
}

}  // namespace pc::cli
