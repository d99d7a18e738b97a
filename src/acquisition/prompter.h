// Message boxes and pickers, behind one interface: the window shows real ones, tests answer them.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "row_format.h"
#include "scan_host.h"

namespace pc {

enum class Buttons { Ok, YesNo };
enum class Answer { Ok, Yes, No };

// How the recover command writes its files.
struct ExportChoice {
    OutputFormat format = OutputFormat::Tsv;  // Tsv: the GBK text files
    bool openFolder = false;                  // show the folder once written
    // One Excel workbook (PhoneCarve.xlsx) instead of a file per category; carved tables then go
    // as CSV for spreadsheets.
    bool workbook = false;
    // An HTML report of the run (a folder of pages, "PhoneCarve 报告"); openFolder then opens the
    // report in the browser.
    bool report = false;
};

class Prompter {
  public:
    virtual ~Prompter() = default;
    virtual Answer message(const std::string& text, const std::string& caption, MessageIcon icon,
                           Buttons buttons = Buttons::Ok) = 0;
    // Database files to scan ("DB files(*.DB)", "All files(*.*)"), one or several, starting in
    // `folder`; empty when cancelled.
    virtual std::vector<std::string> openDatabaseFiles(const std::string& folder) = 0;
    // A folder, or nullopt when cancelled.
    virtual std::optional<std::string> chooseFolder(const std::string& prompt,
                                                    const std::string& root) = 0;
    // The recover command's format, or nullopt when cancelled.
    virtual std::optional<ExportChoice> chooseExport() = 0;
};

}  // namespace pc
