// What is sent to a rooted phone: the script fed to `adb shell` and the command lines that run it
// and pull the copies. The Windows forms are kept exactly; this platform runs their equivalents.
#pragma once

#include <string>
#include <string_view>

namespace pc {

// The eight lines of the phone script, each ending in CR LF (the first and last end in a blank).
std::string PhoneScript();

// The commands of one acquisition, for the program folder `appDir` (with its trailing separator).
struct PhoneCommands {
    std::string makeTemp;      // creates "temp" in the current folder
    std::string feedScript;    // feeds AppDir + "zk.tmp" to `adb shell`
    std::string pullContacts;  // pulls contacts2.db into AppDir + "Temp"
    std::string pullSms;       // pulls mmssms.db into AppDir + "Temp"
};

namespace windows {
// D:\Tools\Phone Kit\ gives D:\"Tools"\"Phone Kit"\zk.tmp: each folder below the drive quoted, so
// that cmd.exe takes folders with blanks in a redirection.
std::string quotedScriptPath(std::string_view appDir);
PhoneCommands phoneCommands(std::string_view appDir);
}  // namespace windows

namespace posix {
// The argument as one word of /bin/sh, whatever characters it holds.
std::string shellQuoted(std::string_view word);
PhoneCommands phoneCommands(std::string_view appDir);
}  // namespace posix

// The commands of this platform.
PhoneCommands phoneCommands(std::string_view appDir);

}  // namespace pc
