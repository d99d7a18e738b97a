// The program's version, as the window's title, the command line and the reports give it.
#pragma once

namespace pc {

inline constexpr const char* kProgramVersion = "4.0";

}  // namespace pc
