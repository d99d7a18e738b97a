#include "phone_acquisition.h"

#include <filesystem>
#include <fstream>

#include "phone_commands.h"

namespace pc {

namespace fs = std::filesystem;

std::string pulledCopyPath(const std::string& appDir, const char* file) {
    return (fs::path(appDir) / "Temp" / file).string();
}

bool acquireFromPhone(RunGlobals& run, const std::array<bool, 3>& ticked, const std::string& appDir,
                      const CommandRunner& runCommand) {
    const std::string script = appDir + "zk.tmp";
    const PhoneCommands commands = phoneCommands(appDir);
    {
        // Errors while writing or removing the script are ignored: the missing copies tell.
        std::ofstream out(script, std::ios::binary | std::ios::trunc);
        out << PhoneScript();
    }
    runCommand(commands.makeTemp);
    runCommand(commands.feedScript);
    std::error_code ignored;
    fs::remove(script, ignored);

    run.ScanQueue.clear();
    const CategoryCode order[3] = {CategoryCode::Contacts, CategoryCode::Sms,
                                   CategoryCode::CallLog};
    for (int i = 0; i < 3; ++i)
        if (ticked[i]) run.ScanQueue.push_back(order[i]);

    fs::create_directories(fs::path(appDir) / "Temp", ignored);
    runCommand(commands.pullContacts);
    runCommand(commands.pullSms);
    const std::string contacts = pulledCopyPath(appDir, "contacts2.db");
    const std::string sms = pulledCopyPath(appDir, "mmssms.db");
    if (!fs::exists(contacts) || !fs::exists(sms)) return false;

    run.SourcePaths = {contacts, sms};
    run.CurrentDbPath = run.CurrentDbLongPath = contacts;
    return true;
}

}  // namespace pc
