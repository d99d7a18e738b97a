// Runs one command line as a hidden process and waits for it: the exit code, or -1 when it could
// not be started, was longer than a command line may be, or ran past its time limit.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace pc {

// A command line holds at most this many characters; a longer one is refused, never cut (a cut
// line would run a different command).
inline constexpr std::size_t kMaxCommandLine = 512;

struct CommandWait {
    std::chrono::milliseconds limit{std::chrono::seconds(300)};
    // Called now and then while the command runs, so a window stays painted.
    std::function<void()> whileWaiting;
};

// The command interpreter runs `commandLine` (cmd.exe /c on Windows, /bin/sh -c here), hidden:
// no window, no input, its output discarded. `showState` is the window state it would get (0).
int RunCommand(std::string_view commandLine, std::uint16_t showState = 0,
               const CommandWait& wait = {});

}  // namespace pc
