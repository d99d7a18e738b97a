// INI profile files (config.ini, updatever.ini) the way the profile functions of Windows read and
// write them: [section] headers, key=value lines, keys compared without regard to case.
#pragma once

#include <optional>
#include <string>

namespace pc {

// The value of `key` in `section`, or `fallback` when the file, section or key is missing.
std::string readProfileString(const std::string& path, const std::string& section,
                              const std::string& key, const std::string& fallback);

// Sets `key` in `section`, creating the file, section or key as needed; false when the file
// cannot be written. Other lines of the file stay as they were.
bool writeProfileString(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value);

}  // namespace pc
