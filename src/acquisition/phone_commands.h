// What is sent to a rooted phone: the script fed to `adb shell` and the command lines that run it
// and pull the copies. The Windows forms are kept exactly; this platform runs their equivalents.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pc {

// The databases copied from a phone, each with its write-ahead log and rollback journal when the
// phone has them: contacts2.db, mmssms.db, calllog.db where Android 7 and later keep the call log,
// and logs.db where Samsung phones before Android 7 keep it.
// Then the apps' stores where the phone has them: Google Messages' bugle_db, WhatsApp's
// msgstore.db and wa.db.
inline constexpr const char* kPhoneDatabases[] = {
    "contacts2.db", "mmssms.db", "calllog.db", "logs.db", "bugle_db", "msgstore.db", "wa.db"};

// The phone script, each line ending in CR LF (the first and last end in a blank). As root it
// empties /dev/zktemp and copies into it each database, with its side files, from the folder
// its provider keeps it in: the Android 7 and later one (/data/user_de/0/...) when the database
// is there, else the older /data/data/... one.
std::string PhoneScript();

// The commands of one acquisition, for the program folder `appDir` (with its trailing separator).
struct PhoneCommands {
    std::string makeTemp;    // creates AppDir + "Temp", never a folder where the program runs
    std::string feedScript;  // feeds AppDir + "zk.tmp" to `adb shell`
    std::vector<std::string> pulls;  // each file of /dev/zktemp into AppDir + "Temp"
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

// The names of the files pulled: each database followed by its side files.
std::vector<std::string> pulledFileNames();

}  // namespace pc
