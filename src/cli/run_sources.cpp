#include "run_sources.h"

#include <filesystem>
#include <iostream>
#include <system_error>

#include "RunCommand.h"
#include "app_dir.h"
#include "category_profile.h"
#include "database_files.h"
#include "phone_acquisition.h"
#include "source_file.h"

namespace pc::cli {

namespace fs = std::filesystem;

namespace {

RunPlan filesRun(const RunSources& s) {
    RunPlan run;
    const PerCategory<std::optional<std::string>> given = s.files();
    for (const CategoryCode code : kAllCategories)
        if (given[index(code)]) run.queue(code, *given[index(code)]);
    return run;
}

std::optional<RunPlan> folderRun(const std::string& folder, const NoteSink& note) {
    const FoundDatabases found = findDatabasesIn(folder);
    for (const std::string& file : found.unreadable)
        note("无效的数据库: " + file, false);
    if (!found.any()) {
        note(folder + ": " + kNoDatabaseInFolder, true);
        return std::nullopt;
    }
    RunPlan run;
    for (const CategoryCode code : kAllCategories)
        for (const std::string& file : found.paths[index(code)])
            run.queue(code, file);
    run.duplicates = found.duplicates;
    for (const std::string& file : run.duplicates)
        note("与已找到的数据库内容相同, 不重复扫描: " + file, false);
    return run;
}

// Moves a copy and its side files into `folder`: a rename, or a copy where the folder lies on
// another file system.
std::string keepCopy(const std::string& copy, const fs::path& folder) {
    const fs::path kept = folder / fs::path(copy).filename();
    for (const SideFileKind& side : kSideFiles) {
        const std::string from = sideFilePath(copy, side.source);
        if (fs::exists(from)) fs::rename(from, sideFilePath(kept.string(), side.source));
    }
    std::error_code ec;
    fs::rename(copy, kept, ec);
    if (ec) {
        fs::copy_file(copy, kept, fs::copy_options::overwrite_existing);
        fs::remove(copy);
    }
    return kept.string();
}

// The copies stay in `folder`, where the run reads them, and are not removed after it.
void keepCopies(PhoneCopies& copies, const std::string& folder) {
    fs::create_directories(folder);
    for (std::string& copy : copies.copies) {
        const std::string kept = keepCopy(copy, folder);
        for (std::string& path : copies.paths)
            if (path == copy) path = kept;
        copy = kept;
    }
    copies.copies.clear();
}

std::optional<RunPlan> phonePlan(const RunSources& s, const NoteSink& note) {
    CommandWait wait;
    wait.limit = std::chrono::seconds(s.adbTimeoutSeconds);
    note("正在从手机复制数据库...", false);
    auto copies = acquireFromPhone(
        chooseAppDir(), [&](const std::string& command) { return RunCommand(command, 0, wait); });
    if (!copies) {
        note(kPhoneUnreachable, true);
        return std::nullopt;
    }
    if (!s.keepPhoneCopiesIn.empty()) try {
            keepCopies(*copies, s.keepPhoneCopiesIn);
        } catch (const fs::filesystem_error& e) {
            note(std::string("无法保存手机数据库的副本: ") + e.what(), true);
            return std::nullopt;
        }
    for (const CategoryCode code : storesMissing(s.phoneCategories, *copies))
        note(std::string("手机中没有") + profileOf(code).branch + "的数据库，不扫描", false);
    return phoneRun(s.phoneCategories, std::move(*copies));
}

}  // namespace

std::string sourcesProblem(const RunSources& s) {
    const int kinds = int(s.givenFiles()) + int(s.folder.has_value()) + int(s.phone);
    if (kinds > 1)
        return "give the databases one way: --contacts/--sms/--calls, --folder or --phone";
    if (kinds == 0)
        return "nothing to scan: give --contacts, --sms, --calls, --mms, --google-messages, "
               "--whatsapp, --folder or --phone";
    return {};
}

NoteSink stderrNotes(bool quiet) {
    return [quiet](const std::string& text, bool error) {
        if (error || !quiet) std::cerr << text << "\n";
    };
}

std::optional<RunPlan> planRun(const RunSources& s, const NoteSink& note) {
    if (s.phone) return phonePlan(s, note);
    if (s.folder) return folderRun(*s.folder, note);
    return filesRun(s);
}

}  // namespace pc::cli
