#include "run_facts.h"

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <set>
#include <system_error>

#include "source_file.h"

namespace pc {

namespace fs = std::filesystem;

namespace {

std::string shown(std::int64_t unix, std::int64_t offset) {
    return shownTime(unix, offset) + " (" + utcOffsetName(offset) + ")";
}

FileFacts factsNow(const std::string& path, const std::function<void()>& pump) {
    try {
        return factsOf(path, pump);
    } catch (const std::system_error& e) {
        if (e.code() != std::errc::no_such_file_or_directory) throw;
        return FileFacts{path, 0, 0, {}};
    }
}

}  // namespace

std::int64_t unixNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::vector<std::string> runSourceFiles(const RunPlan& run) {
    std::vector<std::string> files;
    std::set<std::string> seen;
    std::vector<std::string> databases;
    for (std::size_t at = 0; at < run.ScanQueue.size(); ++at)
        databases.push_back(run.pathAt(at));
    if (!run.otherTablesOf.empty()) databases.push_back(run.otherTablesOf);
    for (const std::string& db : databases) {
        if (!seen.insert(db).second) continue;
        files.push_back(db);
        for (const SideFileKind& side : kSideFiles)
            if (fs::exists(sideFilePath(db, side.source)))
                files.push_back(sideFilePath(db, side.source));
    }
    return files;
}

RunFacts factsBeforeRun(const RunPlan& run, const std::function<void()>& pump) {
    RunFacts facts;
    facts.startedUnix = unixNow();
    for (const std::string& file : runSourceFiles(run))
        if (FileFacts f = factsNow(file, pump); !f.sha256.empty())
            facts.before.push_back(std::move(f));
    return facts;
}

ReportFacts reportFactsOf(const RunFacts& run, std::int64_t utcOffsetSeconds,
                          const std::function<void()>& pump) {
    ReportFacts facts;
    facts.utcOffsetSeconds = utcOffsetSeconds;
    facts.started = shown(run.startedUnix, utcOffsetSeconds);
    facts.ended = shown(run.endedUnix ? run.endedUnix : unixNow(), utcOffsetSeconds);
    for (const FileFacts& before : run.before)
        facts.sources.push_back({before, factsNow(before.path, pump)});
    return facts;
}

}  // namespace pc
