// A progress bar on standard error, drawn only when it is a terminal: "FILE [#####    ]  40%".
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace pc::cli {

class TerminalProgress {
  public:
    // `quiet`: never drawn.
    explicit TerminalProgress(bool quiet);
    ~TerminalProgress() { clear(); }
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;
    // Redraws at most ten times a second, and always at the end.
    void show(const std::string& label, std::uint64_t done, std::uint64_t total);
    // Removes the bar, so that a line can be written in its place.
    void clear();

  private:
    bool enabled_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point lastDraw_{};
};

}  // namespace pc::cli
