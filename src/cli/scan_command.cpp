#include "scan_command.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "RunCommand.h"
#include "app_dir.h"
#include "cli_host.h"
#include "phone_acquisition.h"
#include "scan_run.h"

namespace pc::cli {

namespace {

struct Job {
    CategoryCode code;
    std::string path;
};

std::vector<Job> jobsOf(const ScanOptions& o) {
    std::vector<Job> jobs;
    if (o.contacts) jobs.push_back({CategoryCode::Contacts, *o.contacts});
    if (o.sms) jobs.push_back({CategoryCode::Sms, *o.sms});
    if (o.calls) jobs.push_back({CategoryCode::CallLog, *o.calls});
    return jobs;
}

// The phone's copies, pulled into the program's Temp folder; removed again by their last scan.
std::optional<std::vector<Job>> phoneJobs(const ScanOptions& o, RunGlobals& run, CliHost& host) {
    CommandWait wait;
    wait.limit = std::chrono::seconds(o.adbTimeoutSeconds);
    host.note("正在从手机复制数据库...");
    if (!acquireFromPhone(run, o.phoneCategories, chooseAppDir(), [&](const std::string& command) {
            return RunCommand(command, 0, wait);
        })) {
        host.note(kPhoneUnreachable, true);
        return std::nullopt;
    }
    std::vector<Job> jobs;
    for (CategoryCode code : run.ScanQueue)
        jobs.push_back({code, run.SourcePaths[sourcePathSlot(code)]});
    return jobs;
}

}  // namespace

int runScanCommand(const ScanOptions& o) {
    ResultStore store;
    store.passRowsThrough(true);  // rows are written as they are found
    ScanState state;
    RunGlobals run;
    run.allCopies = o.allCopies;
    run.utcOffsetSeconds = o.utcOffsetSeconds;
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

    std::vector<Job> jobs;
    if (o.phone) {
        auto pulled = phoneJobs(o, run, host);
        if (!pulled) return kSomethingFailed;
        jobs = std::move(*pulled);
    } else {
        jobs = jobsOf(o);
        for (const Job& job : jobs)
            run.ScanQueue.push_back(job.code);
    }

    int status = kAllScanned;
    for (const Job& job : jobs) {
        run.SourcePaths[sourcePathSlot(job.code)] = job.path;
        host.startCategory(job.code, job.path);
        if (runQueuedScan(run, job.code, host, store, state) != ScanOutcome::Completed)
            status = kSomethingFailed;
        // Rows that could not be written end the command: nothing after would be either.
        if (host.outputLost()) break;
    }
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
