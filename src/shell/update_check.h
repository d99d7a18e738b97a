// Once a day at start-up: is there a newer version? And at the end: a usage ping.
#pragma once

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

// Writes today's date to config.ini, fetches the version file and, when it names a newer version
// than `storedVersion`, offers the updater. True when the updater was started and the program is
// to end.
bool UpdateCheck(const std::string& storedVersion, const UpdateContext& context);

// A version text as a number; a text that is not a number counts as 0.
double versionNumber(const std::string& text);

// Sends the installation's identifier, the version and the product name; every failure is
// swallowed, the caller goes on to end the program.
void UsagePing(VendorServer& server, const std::string& id, const std::string& version,
               const std::string& productName);

}  // namespace pc
