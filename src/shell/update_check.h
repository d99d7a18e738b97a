// Once a day at start-up: is there a newer version? And at the end: a usage ping.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "prompter.h"
#include "vendor_server.h"

namespace pc {

struct UpdateContext {
    std::string appDir;  // updatever.ini and the updater are beside the program
    std::string todayText;
    Prompter& prompter;
    VendorServer& server;
    // Starts a program without waiting for it; false when it could not be started.
    std::function<bool(const std::string& program)> startDetached;
};

// Writes today's date to config.ini and asks for the version file; returns at once. When the
// answer names a newer version than `storedVersion`, the updater is offered; `done(true)` then
// says it was started and the program is to end, `done(false)` that it goes on. The context must
// outlive the answer.
void UpdateCheck(const std::string& storedVersion, const UpdateContext& context,
                 std::function<void(bool updaterStarted)> done);

// A version text as a number; a text that is not a number counts as 0.
double versionNumber(const std::string& text);

// How long the closing waits for the usage ping at most.
inline constexpr std::chrono::milliseconds kPingLimit{2000};

// Sends the installation's identifier, the version and the product name, waiting kPingLimit at
// most; every failure is swallowed, the caller goes on to end the program.
void UsagePing(VendorServer& server, const std::string& id, const std::string& version,
               const std::string& productName);

}  // namespace pc
