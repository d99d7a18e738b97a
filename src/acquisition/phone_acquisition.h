// Copying the phone's two databases into the program's Temp folder over adb, before a phone run
// scans them. Both copies must arrive, whichever categories are ticked.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "run_globals.h"

namespace pc {

inline constexpr const char* kPhoneUnreachable =
    "程序无法访问手机，请确认手机是否Root，并且要打开\"USB调试\"";

// Runs one command line; the result is ignored, as adb's own exit codes say nothing reliable.
using CommandRunner = std::function<int(const std::string& commandLine)>;

// Performs the acquisition for a run: writes and feeds the phone script, pulls both databases,
// rebuilds the queue from the ticks (contacts, SMS, call log) and points the run's paths at the
// copies. False when a copy is missing afterwards; the caller then shows kPhoneUnreachable.
bool acquireFromPhone(RunGlobals& run, const std::array<bool, 3>& ticked, const std::string& appDir,
                      const CommandRunner& runCommand);

// Where the pulled copies go: AppDir + "Temp".
std::string pulledCopyPath(const std::string& appDir, const char* file);

}  // namespace pc
