// Files as a person tells them apart in a list: by their last folders and name, no more of the
// path than it takes.
#pragma once

#include <string>
#include <vector>

namespace pc {

// For each path, its name with as many of its last folders as set it apart from the others, and
// at least the one it lies in ("备份/mmssms.db"). Equal paths get equal names.
std::vector<std::string> shortFileNames(const std::vector<std::string>& paths);

}  // namespace pc
