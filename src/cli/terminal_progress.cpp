#include "terminal_progress.h"

#include <unistd.h>

#include <cstdio>

namespace pc::cli {

TerminalProgress::TerminalProgress(bool quiet) : enabled_(!quiet && ::isatty(STDERR_FILENO) != 0) {
}

void TerminalProgress::show(const std::string& label, std::uint64_t done, std::uint64_t total) {
    if (!enabled_ || total == 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (done < total && now - lastDraw_ < std::chrono::milliseconds(100)) return;
    lastDraw_ = now;
    const auto percent =
        static_cast<unsigned>(100.0 * static_cast<double>(done) / static_cast<double>(total));
    const int filled = static_cast<int>(percent / 4);
    std::fprintf(stderr, "\r%s [%-25.*s] %3u%%", label.c_str(), filled, "#########################",
                 percent);
    std::fflush(stderr);
    shown_ = true;
}

void TerminalProgress::clear() {
    if (!shown_) return;
    std::fputs("\r\033[K", stderr);
    shown_ = false;
}

}  // namespace pc::cli
