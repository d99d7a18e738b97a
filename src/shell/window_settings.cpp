#include "window_settings.h"

#include <QDate>
#include <QLocale>
#include <QString>
#include <QUuid>

#include <cstdlib>

#include "profile_file.h"

namespace pc {

namespace {

bool blankTitle(const std::string& title) {
    for (unsigned char c : title)
        if (c > ' ') return false;
    return true;
}

std::string joinedWidths(const std::vector<int>& widths) {
    std::string out;
    for (int w : widths)
        out += (out.empty() ? "" : ",") + std::to_string(w);
    return out;
}

std::vector<int> splitWidths(const std::string& text) {
    std::vector<int> out;
    for (const QString& part : QString::fromStdString(text).split(',', Qt::SkipEmptyParts)) {
        bool ok = false;
        const int w = part.trimmed().toInt(&ok);
        out.push_back(ok && w > 0 && w < 10000 ? w : 0);
    }
    return out;
}

std::string columnsKey(CategoryCode code) {
    return "columns" + std::to_string(static_cast<int>(code));
}

}  // namespace

bool WindowSettings::readMain(const char* defaultTitle, const char* version,
                              const char* defaultServer) {
    today_ = QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat).toStdString();
    title_ = readProfileString(ini_, "main", "title", defaultTitle);
    if (blankTitle(title_)) title_ = defaultTitle;
    storedVersion_ = readProfileString(ini_, "main", "ver", "0");
    lastDate_ = readProfileString(ini_, "main", "date", today_);
    // A command that waits for a phone to be authorised must not hold the program for ever.
    adbTimeoutSeconds_ = std::atoi(readProfileString(ini_, "main", "adbtimeout", "300").c_str());
    if (adbTimeoutSeconds_ <= 0) adbTimeoutSeconds_ = 300;
    server_ = readProfileString(ini_, "main", "server", defaultServer);
    installationId_ = readProfileString(ini_, "main", "id", "");
    bool written = true;
    if (installationId_.empty()) {
        installationId_ = QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
        written = writeProfileString(ini_, "main", "id", installationId_);
    }
    return writeProfileString(ini_, "main", "ver", version) &&
           writeProfileString(ini_, "main", "date", today_) && written;
}

void WindowSettings::readLayout() {
    lastFolder_ = readProfileString(ini_, "window", "lastdir", "");
    exportFolder_ = readProfileString(ini_, "window", "exportdir", "");
    const int w = std::atoi(readProfileString(ini_, "window", "width", "0").c_str());
    const int h = std::atoi(readProfileString(ini_, "window", "height", "0").c_str());
    const bool fits = w >= 400 && h >= 300 && w < 20000 && h < 20000;
    width_ = fits ? w : 0;
    height_ = fits ? h : 0;
    for (CategoryCode code : kAllCategories)
        columnWidths_[index(code)] =
            splitWidths(readProfileString(ini_, "window", columnsKey(code), ""));
}

void WindowSettings::saveLayout(int width, int height) const {
    writeProfileString(ini_, "window", "width", std::to_string(width));
    writeProfileString(ini_, "window", "height", std::to_string(height));
    for (CategoryCode code : kAllCategories)
        if (!columnWidths_[index(code)].empty())
            writeProfileString(ini_, "window", columnsKey(code),
                               joinedWidths(columnWidths_[index(code)]));
}

void WindowSettings::rememberFolder(const std::string& folder) {
    lastFolder_ = folder;
    writeProfileString(ini_, "window", "lastdir", folder);
}

void WindowSettings::rememberExportFolder(const std::string& folder) {
    exportFolder_ = folder;
    writeProfileString(ini_, "window", "exportdir", folder);
}

}  // namespace pc
