// The window's settings in config.ini beside the program: section "main" (title, version, the day
// of the last update check, the server, the installation's identifier, adb's time limit) and
// section "window" (size, the list's column widths, the folders last used).
#pragma once

#include <string>
#include <vector>

#include "result_types.h"

namespace pc {

class WindowSettings {
  public:
    // `appDir`: where config.ini lives, with a trailing separator.
    explicit WindowSettings(std::string appDir) : ini_(std::move(appDir) + "config.ini") {}

    const std::string& path() const { return ini_; }

    // Reads section "main" and writes back this version, today and a new installation
    // identifier where there was none; false when config.ini could not be written.
    bool readMain(const char* defaultTitle, const char* version, const char* defaultServer);
    const std::string& title() const { return title_; }
    const std::string& storedVersion() const { return storedVersion_; }
    const std::string& today() const { return today_; }
    // The day's update check has not been made yet.
    bool updateDue() const { return lastDate_ != today_; }
    int adbTimeoutSeconds() const { return adbTimeoutSeconds_; }
    const std::string& server() const { return server_; }
    const std::string& installationId() const { return installationId_; }

    // Section "window".
    void readLayout();
    // The width and height kept, or 0 where none fits.
    int width() const { return width_; }
    int height() const { return height_; }
    void saveLayout(int width, int height) const;
    // The widths the user left in a category's list; empty: its own.
    std::vector<int>& columnWidths(CategoryCode code) { return columnWidths_[index(code)]; }
    const std::string& lastFolder() const { return lastFolder_; }
    void rememberFolder(const std::string& folder);
    const std::string& exportFolder() const { return exportFolder_; }
    void rememberExportFolder(const std::string& folder);

  private:
    std::string ini_;
    std::string title_, storedVersion_, today_, lastDate_, server_, installationId_;
    int adbTimeoutSeconds_ = 300;
    int width_ = 0, height_ = 0;
    PerCategory<std::vector<int>> columnWidths_;
    std::string lastFolder_, exportFolder_;
};

}  // namespace pc
