#include "phone_commands.h"

namespace pc {

std::string PhoneScript() {
    static constexpr const char* kLines[] = {
        "su ",
        "mkdir /dev/zktemp",
        "cat /data/data/com.android.providers.telephony/databases/mmssms.db > "
        "/dev/zktemp/mmssms.db",
        "cat /data/data/com.android.providers.contacts/databases/contacts2.db > "
        "/dev/zktemp/contacts2.db",
        "exit",
        "exit",
        "del %0",
        "Del /Q %0 >Nul ",
    };
    std::string script;
    for (const char* line : kLines)
        script += std::string(line) + "\r\n";
    return script;
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
    return {"cmd.exe /c md temp", "cmd.exe /c adb shell < " + quotedScriptPath(appDir),
            "cmd.exe /c adb pull /dev/zktemp/contacts2.db \"" + dir + "Temp\\contacts2.db\"",
            "cmd.exe /c adb pull /dev/zktemp/mmssms.db \"" + dir + "Temp\\mmssms.db\""};
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
    return {"mkdir -p temp", "adb shell < " + shellQuoted(dir + "zk.tmp"),
            "adb pull /dev/zktemp/contacts2.db " + shellQuoted(dir + "Temp/contacts2.db"),
            "adb pull /dev/zktemp/mmssms.db " + shellQuoted(dir + "Temp/mmssms.db")};
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
