#pragma once

#include <string>

namespace pc {

// The program's folder, with a trailing separator, when it can be written to; otherwise the
// per-user application data folder (an installed program's folder is read-only here).
std::string chooseAppDir();

}  // namespace pc
