#include "phone_commands.h"

#include "source_file.h"

namespace pc {

namespace {

// The line that copies `file` and its side files from the provider's folder on the phone.
std::string copyLine(const char* provider, const char* file) {
    const std::string old = std::string("/data/data/") + provider + "/databases";
    const std::string current = std::string("/data/user_de/0/") + provider + "/databases";
    std::string files = file;
    for (const SideFileKind& side : kSideFiles)
        files += std::string(" ") + file + side.suffix;
    return "d=" + old + "; [ -f " + current + "/" + file + " ] && d=" + current + "; for f in " +
           files + "; do [ -f $d/$f ] && cat $d/$f > /dev/zktemp/$f; done";
}

}  // namespace

std::string PhoneScript() {
    const std::string lines[] = {
        "su ",
        "mkdir /dev/zktemp",
        "rm -f /dev/zktemp/*",
        copyLine("com.android.providers.telephony", "mmssms.db"),
        copyLine("com.android.providers.contacts", "contacts2.db"),
        copyLine("com.android.providers.contacts", "calllog.db"),
        copyLine("com.sec.android.provider.logsprovider", "logs.db"),
        copyLine("com.google.android.apps.messaging", "bugle_db"),
        copyLine("com.whatsapp", "msgstore.db"),
        copyLine("com.whatsapp", "wa.db"),
        "exit",
        "exit",
        "del %0",
        "Del /Q %0 >Nul ",
    };
    std::string script;
    for (const std::string& line : lines)
        script += line + "\r\n";
    return script;
}

std::vector<std::string> pulledFileNames() {
    std::vector<std::string> names;
    for (const char* db : kPhoneDatabases) {
        names.push_back(db);
        for (const SideFileKind& side : kSideFiles)
            names.push_back(std::string(db) + side.suffix);
    }
    return names;
}

namespace windows {

std::string quotedScriptPath(std::string_view appDir) {
    std::string path;
    for (char c : appDir)
        path += c == '\\' ? std::string("\"\\\"") : std::string(1, c);
    if (const auto colon = path.find(":\""); colon != std::string::npos) path.erase(colon + 1, 1);
    if (!path.empty()) path.pop_back();
    return path + "zk.tmp";
}

PhoneCommands phoneCommands(std::string_view appDir) {
    const std::string dir(appDir);
    PhoneCommands c{"cmd.exe /c if not exist \"" + dir + "Temp\" md \"" + dir + "Temp\"",
                    "cmd.exe /c adb shell < " + quotedScriptPath(appDir),
                    {}};
    for (const std::string& name : pulledFileNames())
        c.pulls.push_back("cmd.exe /c adb pull /dev/zktemp/" + name + " \"" + dir + "Temp\\" +
                          name + "\"");
    return c;
}

}  // namespace windows

namespace posix {

std::string shellQuoted(std::string_view word) {
    std::string out = "'";
    for (char c : word)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

PhoneCommands phoneCommands(std::string_view appDir) {
    const std::string dir(appDir);
    PhoneCommands c{
        "mkdir -p " + shellQuoted(dir + "Temp"), "adb shell < " + shellQuoted(dir + "zk.tmp"), {}};
    for (const std::string& name : pulledFileNames())
        c.pulls.push_back("adb pull /dev/zktemp/" + name + " " + shellQuoted(dir + "Temp/" + name));
    return c;
}

}  // namespace posix

PhoneCommands phoneCommands(std::string_view appDir) {
#if defined(_WIN32)
    return windows::phoneCommands(appDir);
#else
    return posix::phoneCommands(appDir);
#endif
}

}  // namespace pc
