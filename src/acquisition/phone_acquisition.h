// Copying the phone's databases into the program's Temp folder over adb, before a phone run scans
// them: contacts2.db and mmssms.db, which must both arrive whichever categories are ticked, and
// calllog.db (or a Samsung's logs.db) where the phone keeps the call log apart; each with its -wal
// and -journal.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "run_plan.h"

namespace pc {

inline constexpr const char* kPhoneUnreachable =
    "程序无法访问手机，请确认手机是否Root，并且要打开\"USB调试\"";

inline constexpr const char* kAdbMissing =
    "找不到 adb 程序，无法从手机中扫描。\n请安装 Android 平台工具（platform-tools），并把 adb "
    "所在的文件夹加入系统的 PATH，或把 adb 放在本程序的文件夹中。";

// Whether adb can be started: beside the program (where the Windows shell finds it first) or in
// a folder of PATH.
bool adbFound(const std::string& appDir);

// Runs one command line. adb's own exit codes say nothing reliable and are ignored; -1 (a command
// that could not start or was ended at its time limit) ends the acquisition.
using CommandRunner = std::function<int(const std::string& commandLine)>;

// The copies a phone gave: the database each category reads, and the files made, which the run
// removes after their last scan.
struct PhoneCopies {
    PerCategory<std::string> paths;
    std::vector<std::string> copies;
};

// Performs the acquisition: writes and feeds the phone script and pulls the databases. Nothing
// when contacts2.db or mmssms.db is missing afterwards; the caller then shows kPhoneUnreachable.
std::optional<PhoneCopies> acquireFromPhone(const std::string& appDir,
                                            const CommandRunner& runCommand);

// The categories ticked whose store the phone does not have (no app, no copy): named in the
// log, not scanned.
std::vector<CategoryCode> storesMissing(const PerCategory<bool>& ticked, const PhoneCopies& copies);

// A phone run: the categories ticked (by their place in kAllCategories) the phone has, from the
// copies.
RunPlan phoneRun(const PerCategory<bool>& ticked, PhoneCopies copies);

// Where the pulled copies go: AppDir + "Temp".
std::string pulledCopyPath(const std::string& appDir, const char* file);

}  // namespace pc
