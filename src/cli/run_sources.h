// Where a command's databases come from: files given one by one, a folder such as a phone's file
// system, or a rooted phone over adb. `scan` and `report` take the same sources.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "run_plan.h"

namespace pc::cli {

struct RunSources {
    std::optional<std::string> contacts;
    std::optional<std::string> sms;
    std::optional<std::string> calls;
    std::optional<std::string> mms;             // an mmssms.db
    std::optional<std::string> googleMessages;  // a bugle_db
    std::optional<std::string> whatsapp;        // a msgstore.db (wa.db beside it gives names)
    // Every phone database found under this folder.
    std::optional<std::string> folder;
    // Copy the databases from a rooted phone instead, and scan these categories of them.
    bool phone = false;
    PerCategory<bool> phoneCategories = [] {  // by CategoryCode: all of them
        PerCategory<bool> all;
        all.fill(true);
        return all;
    }();
    int adbTimeoutSeconds = 300;
    // Where the phone's copies are kept after the run (a report's reader checks them); empty:
    // the program's Temp folder, removed after their last scan.
    std::string keepPhoneCopiesIn;

    // The files given, by CategoryCode.
    PerCategory<std::optional<std::string>> files() const {
        return {contacts, sms, calls, mms, googleMessages, whatsapp};
    }
    bool givenFiles() const {
        for (const auto& f : files())
            if (f) return true;
        return false;
    }
};

// What is wrong with the sources as given, for a usage error; empty when they can be run.
std::string sourcesProblem(const RunSources& sources);

using NoteSink = std::function<void(const std::string& text, bool error)>;

// Notes on standard error; only errors when quiet.
NoteSink stderrNotes(bool quiet);

// The run the sources make; nothing (said through `note`) when the phone cannot be reached, a
// folder holds no phone database, or the copies cannot be kept.
std::optional<RunPlan> planRun(const RunSources& sources, const NoteSink& note);

}  // namespace pc::cli
