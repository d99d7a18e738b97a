#include "phone_acquisition.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "SQLiteTable3.h"
#include "phone_commands.h"
#include "scanner_for.h"

#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace pc {

namespace fs = std::filesystem;

std::string pulledCopyPath(const std::string& appDir, const char* file) {
    return (fs::path(appDir) / "Temp" / file).string();
}

bool adbFound(const std::string& appDir) {
#if defined(_WIN32)
    const char* name = "adb.exe";
    const char separator = ';';
#else
    const char* name = "adb";
    const char separator = ':';
#endif
    auto runnable = [&](const fs::path& folder) {
        std::error_code e;
        const fs::path file = folder / name;
        if (!fs::is_regular_file(file, e)) return false;
#if defined(_WIN32)
        return true;
#else
        return ::access(file.c_str(), X_OK) == 0;
#endif
    };
    if (runnable(appDir)) return true;
    const char* path = std::getenv("PATH");
    for (std::string_view rest = path ? path : ""; !rest.empty();) {
        const std::size_t end = std::min(rest.find(separator), rest.size());
        if (end > 0 && runnable(fs::path(rest.substr(0, end)))) return true;
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    return false;
}

namespace {

// Whether a copy holds the category's rows; a copy SQLite cannot read holds none.
bool holds(const std::string& copy, CategoryCode code) {
    try {
        TSQLiteDatabase db(copy);
        return holdsCategory(db, code);
    } catch (const ESQLiteException&) {
        return false;
    }
}

}  // namespace

std::optional<PhoneCopies> acquireFromPhone(const std::string& appDir,
                                            const CommandRunner& runCommand) {
    const std::string script = appDir + "zk.tmp";
    const PhoneCommands commands = phoneCommands(appDir);
    {
        // Errors while writing or removing the script are ignored: the missing copies tell.
        std::ofstream out(script, std::ios::binary | std::ios::trunc);
        out << PhoneScript();
    }
    runCommand(commands.makeTemp);
    // -1: the shell could not start or was ended at its time limit; the phone then holds no
    // copies worth pulling, and each pull would wait its limit in turn.
    const bool fed = runCommand(commands.feedScript) != -1;
    std::error_code ignored;
    fs::remove(script, ignored);

    fs::create_directories(fs::path(appDir) / "Temp", ignored);
    // Copies an earlier run left would pass for this phone's when a pull fails: they go first.
    for (const std::string& name : pulledFileNames())
        fs::remove(pulledCopyPath(appDir, name.c_str()), ignored);
    for (const std::string& pull : commands.pulls)
        if (!fed || runCommand(pull) == -1) break;
    const std::string contacts = pulledCopyPath(appDir, "contacts2.db");
    const std::string sms = pulledCopyPath(appDir, "mmssms.db");
    std::string calls = pulledCopyPath(appDir, "calllog.db");
    if (!fs::exists(contacts) || !fs::exists(sms)) return std::nullopt;

    // Android 7 and later keep the call log in calllog.db; older phones in contacts2.db, except
    // Samsung's, which keep it in their own provider's logs.db.
    if (!fs::exists(calls)) calls = pulledCopyPath(appDir, "logs.db");
    const bool callLogApart = fs::exists(calls);
    PhoneCopies pulled;
    pulled.paths[index(CategoryCode::Contacts)] = contacts;
    pulled.paths[index(CategoryCode::Sms)] = sms;
    pulled.paths[index(CategoryCode::CallLog)] = callLogApart ? calls : contacts;
    pulled.copies = {contacts, sms};
    if (callLogApart) pulled.copies.push_back(calls);
    // MMS lie in mmssms.db where it has their tables; the apps' stores are there where the
    // phone has the app.
    if (holds(sms, CategoryCode::Mms)) pulled.paths[index(CategoryCode::Mms)] = sms;
    for (const auto& [code, file] : {std::pair{CategoryCode::GoogleMessages, "bugle_db"},
                                     std::pair{CategoryCode::WhatsApp, "msgstore.db"},
                                     std::pair{CategoryCode::WhatsApp, "wa.db"}}) {
        const std::string copy = pulledCopyPath(appDir, file);
        if (!fs::exists(copy)) continue;
        pulled.copies.push_back(copy);
        if (std::string_view(file) != "wa.db" && holds(copy, code))
            pulled.paths[index(code)] = copy;
    }
    return pulled;
}

std::vector<CategoryCode> storesMissing(const PerCategory<bool>& ticked,
                                        const PhoneCopies& copies) {
    std::vector<CategoryCode> missing;
    for (const CategoryCode code : kAllCategories)
        if (ticked[index(code)] && copies.paths[index(code)].empty()) missing.push_back(code);
    return missing;
}

RunPlan phoneRun(const PerCategory<bool>& ticked, PhoneCopies copies) {
    RunPlan run;
    run.source = ScanSource::Phone;
    for (const CategoryCode code : kAllCategories)
        if (ticked[index(code)] && !copies.paths[index(code)].empty())
            run.ScanQueue.push_back(code);
    run.SourcePaths = std::move(copies.paths);
    run.copies = std::move(copies.copies);
    return run;
}

}  // namespace pc
