// Message boxes and pickers, behind one interface: the window shows real ones, tests answer them.
#pragma once

#include <optional>
#include <string>

#include "scan_host.h"

namespace pc {

enum class Buttons { Ok, YesNo };
enum class Answer { Ok, Yes, No };

class Prompter {
  public:
    virtual ~Prompter() = default;
    virtual Answer message(const std::string& text, const std::string& caption, MessageIcon icon,
                           Buttons buttons = Buttons::Ok) = 0;
    // A database file to scan ("DB files(*.DB)", "All files(*.*)"), or nullopt when cancelled.
    virtual std::optional<std::string> openDatabaseFile() = 0;
    // A folder, or nullopt when cancelled.
    virtual std::optional<std::string> chooseFolder(const std::string& prompt,
                                                    const std::string& root) = 0;
};

}  // namespace pc
