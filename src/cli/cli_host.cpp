#include "cli_host.h"

#include <unistd.h>

#include <algorithm>

#include "window_words.h"

namespace pc::cli {

namespace {

// Error texts of the SQLite layer separate their parts with CR, which a terminal would overwrite.
std::string oneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\r', ' ');
    return text;
}

}  // namespace

CliHost::CliHost(const ResultStore& store, std::optional<Output> rows, bool quiet)
    : store_(store), rows_(rows), quiet_(quiet), terminal_(::isatty(STDERR_FILENO) != 0) {
}

void CliHost::startCategory(CategoryCode, const std::string& path) {
    path_ = path;
}

void CliHost::started(CategoryCode code) {
    note(path_ + ": 扫描... ");
    if (!rows_) return;
    const std::string header = headerLine(rows_->format, code);
    if (!header.empty()) std::fputs(encodeText(header, rows_->encoding).c_str(), stdout);
}

void CliHost::noted(const SourceNote& n) {
    // A file that could not be opened or read is an error; the rest is what the log would say.
    const bool error = n.kind == SourceNote::Kind::OpenFailed ||
                       n.kind == SourceNote::Kind::ReadFailed ||
                       n.kind == SourceNote::Kind::Unreadable;
    note(path_ + ": " + noteText(n), error);
}

void CliHost::rowKept(CategoryCode code, std::uint32_t index, RecordState) {
    if (!rows_) return;
    const std::string line =
        encodeText(formatRow(rows_->format, store_, code, index), rows_->encoding);
    std::fwrite(line.data(), 1, line.size(), stdout);
}

void CliHost::finished(CategoryCode code, std::int32_t found, std::int32_t deleted) {
    note(path_ + ": " + totalsText(code, found, deleted));
}

void CliHost::failed(CategoryCode code, const ScanFailure& failure) {
    note(path_ + ": " + oneLine(failureText(code, failure)), true);
}

void CliHost::pageReached(std::uint32_t page) {
    if (quiet_ || !terminal_ || progressMax_ == 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (page != progressMax_ && now - lastDraw_ < std::chrono::milliseconds(100)) return;
    lastDraw_ = now;
    const unsigned percent = static_cast<unsigned>(100.0 * page / progressMax_);
    const int filled = static_cast<int>(percent / 4);
    std::fprintf(stderr, "\r%s [%-25.*s] %3u%%", path_.c_str(), filled, "#########################",
                 percent);
    std::fflush(stderr);
    progressShown_ = true;
}

void CliHost::clearProgress() {
    if (!progressShown_) return;
    std::fputs("\r\033[K", stderr);
    progressShown_ = false;
}

void CliHost::note(const std::string& text, bool always) {
    if (quiet_ && !always) return;
    clearProgress();
    std::fprintf(stderr, "%s\n", text.c_str());
}

}  // namespace pc::cli
