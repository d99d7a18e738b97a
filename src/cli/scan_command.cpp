#include "scan_command.h"

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

class GivenFolder : public FolderChooser {
  public:
    explicit GivenFolder(std::string folder) : folder_(std::move(folder)) {}
    std::optional<std::string> chooseSaveFolder(const std::string&, const std::string&) override {
        return folder_;
    }

  private:
    std::string folder_;
};

// CSV and JSON-lines files: one per category with rows, written whole like the export's.
std::vector<std::string> writeRowFiles(const std::string& folder, OutputFormat format,
                                       TextEncoding encoding,
                                       const std::vector<CategoryCode>& queue,
                                       const ResultStore& store) {
    std::vector<std::string> written;
    for (CategoryCode code : queue) {
        const auto rows = static_cast<std::uint32_t>(store.count(code));
        if (rows == 0) continue;
        std::string text = headerLine(format, code);
        for (std::uint32_t i = 0; i < rows; ++i)
            text += formatRow(format, store, code, i);
        const std::string path = joinPath(folder, outputFileName(format, code));
        writeWholeFile(path, encodeText(text, encoding));
        written.push_back(path);
    }
    return written;
}

int writeFiles(const ScanOptions& o, const std::vector<CategoryCode>& queue,
               const ResultStore& store, CliHost& host) {
    std::error_code ec;
    std::filesystem::create_directories(*o.out, ec);
    if (ec) {
        host.note(*o.out + ": " + ec.message(), true);
        return kSomethingFailed;
    }
    try {
        std::vector<std::string> written;
        if (o.format == OutputFormat::Tsv) {
            GivenFolder folder(*o.out);
            written =
                exportResults(queue, store, folder, o.encoding.value_or(TextEncoding::Gb18030))
                    .written;
        } else {
            written = writeRowFiles(*o.out, o.format, o.encoding.value_or(TextEncoding::Utf8),
                                    queue, store);
        }
        for (const std::string& path : written)
            host.note("已保存 " + path);
        host.note("恢复完成!");
        return kAllScanned;
    } catch (const ExportError& e) {
        host.note(e.what(), true);
        return kSomethingFailed;
    }
}

}  // namespace

int runScanCommand(const ScanOptions& o) {
    ResultStore store;
    ScanState state;
    RunGlobals run;
    run.allCopies = o.allCopies;
    run.utcOffsetSeconds = o.utcOffsetSeconds;
    std::optional<CliHost::Output> streamed;
    if (!o.out) streamed = CliHost::Output{o.format, o.encoding.value_or(TextEncoding::Utf8)};
    CliHost host(store, streamed, o.quiet);

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
    }
    std::fflush(stdout);
    if (o.out && writeFiles(o, run.ScanQueue, store, host) != kAllScanned)
        status = kSomethingFailed;
    return status;
}

}  // namespace pc::cli
