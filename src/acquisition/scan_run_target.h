// What the scan-source dialog needs of the main window to perform a run.
#pragma once

#include <string>

#include "prompter.h"
#include "run_plan.h"

namespace pc {

class ScanRunTarget {
  public:
    virtual ~ScanRunTarget() = default;
    // The plan of the last run.
    virtual const RunPlan& runPlan() const = 0;
    virtual Prompter& prompter() = 0;
    virtual void clearTree() = 0;
    virtual void clearRows() = 0;
    // Runs the plan's scans (and its carve of every table) to their end, each category's list
    // laid out before its scan, and says how the run ended.
    virtual void runScans(RunPlan plan) = 0;
    virtual void setMainWindowEnabled(bool enabled) = 0;
    virtual void openHelp() = 0;
    // The program's folder, with a trailing separator: the phone's copies go to its Temp folder.
    virtual const std::string& appDir() const = 0;
    // Runs a command line hidden and waits for it within the configured limit, the windows
    // painted meanwhile but taking no input.
    virtual int runHiddenCommand(const std::string& commandLine) = 0;
    // A line in the window's log.
    virtual void log(const std::string& message) = 0;
    // The folder files were last picked in; "" before the first pick.
    virtual std::string lastFolder() const = 0;
    virtual void rememberFolder(const std::string& folder) = 0;
};

}  // namespace pc
