#include "phone_acquisition.h"

#include <filesystem>
#include <fstream>

#include "phone_commands.h"

namespace pc {

namespace fs = std::filesystem;

std::string pulledCopyPath(const std::string& appDir, const char* file) {
    return (fs::path(appDir) / "Temp" / file).string();
}

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
    const std::string calls = pulledCopyPath(appDir, "calllog.db");
    if (!fs::exists(contacts) || !fs::exists(sms)) return std::nullopt;

    // Android 7 and later keep the call log in calllog.db; older phones in contacts2.db.
    const bool callLogApart = fs::exists(calls);
    PhoneCopies pulled;
    pulled.paths[index(CategoryCode::Contacts)] = contacts;
    pulled.paths[index(CategoryCode::Sms)] = sms;
    pulled.paths[index(CategoryCode::CallLog)] = callLogApart ? calls : contacts;
    pulled.copies = {contacts, sms};
    if (callLogApart) pulled.copies.push_back(calls);
    return pulled;
}

RunPlan phoneRun(const PerCategory<bool>& ticked, PhoneCopies copies) {
    RunPlan run;
    run.source = ScanSource::Phone;
    for (const CategoryCode code : kAllCategories)
        if (ticked[index(code)]) run.ScanQueue.push_back(code);
    run.SourcePaths = std::move(copies.paths);
    run.copies = std::move(copies.copies);
    return run;
}

}  // namespace pc
