// Copying the phone's databases into the program's Temp folder over adb, before a phone run scans
// them: contacts2.db and mmssms.db, which must both arrive whichever categories are ticked, and
// calllog.db where the phone keeps the call log apart; each with its -wal and -journal.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "run_globals.h"

namespace pc {

inline constexpr const char* kPhoneUnreachable =
    "程序无法访问手机，请确认手机是否Root，并且要打开\"USB调试\"";

// Runs one command line. adb's own exit codes say nothing reliable and are ignored; -1 (a command
// that could not start or was ended at its time limit) ends the acquisition.
using CommandRunner = std::function<int(const std::string& commandLine)>;

// Performs the acquisition for a run: writes and feeds the phone script, pulls the databases,
// rebuilds the queue from the ticks (contacts, SMS, call log) and points the run's paths at the
// copies, which the run removes after their last scan. False when contacts2.db or mmssms.db is
// missing afterwards; the caller then shows kPhoneUnreachable.
bool acquireFromPhone(RunGlobals& run, const std::array<bool, 3>& ticked, const std::string& appDir,
                      const CommandRunner& runCommand);

// Where the pulled copies go: AppDir + "Temp".
std::string pulledCopyPath(const std::string& appDir, const char* file);

}  // namespace pc
