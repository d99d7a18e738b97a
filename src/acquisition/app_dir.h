#pragma once

#include <string>

namespace pc {

// The program's folder, with a trailing separator, when it can be written to; otherwise the
// per-user data folder (an installed program's folder is read-only here). config.ini, the phone
// script and the Temp folder of pulled copies live there.
std::string chooseAppDir();

}  // namespace pc
