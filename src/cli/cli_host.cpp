#include "cli_host.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "window_words.h"

namespace pc::cli {

namespace {

// Error texts of the SQLite layer separate their parts with CR, which a terminal would overwrite.
std::string oneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\r', ' ');
    return text;
}

}  // namespace

// Rows are written a chunk at a time: whole pages for the system, little memory held.
constexpr std::size_t kRowChunk = 256u << 10;

CliHost::CliHost(const ResultStore& store, Output rows, bool quiet, ScanState& state)
    : store_(store),
      rows_(std::move(rows)),
      encoder_(rows_.format, rows_.encoding, rows_.folder.has_value()),
      state_(state),
      quiet_(quiet),
      progress_(quiet),
      pipe_([this](const ResultStore& rows, std::span<const RowPipe::Item> items) {
          writeRows(rows, items);
      }) {
    out_.reserve(2 * kRowChunk);
}

CliHost::~CliHost() {
    try {
        drainRows();
    } catch (const std::exception& e) {
        note(e.what(), true);
    }
    flushRows(true);
    sayOutputError();
}

void CliHost::startCategory(CategoryCode, const std::string& path) {
    path_ = path;
}

void CliHost::started(CategoryCode code) {
    note(path_ + ": 扫描... ");
    drainRows();
    if (rows_.folder) openFile(code);
    pipe_.header(code);
}

void CliHost::openFile(CategoryCode code) {
    try {
        file_.emplace(joinPath(*rows_.folder, outputFileName(rows_.format, code)));
    } catch (const ExportError& e) {
        outputError(e.what());
        sayOutputError();
    }
}

void CliHost::outputError(const std::string& text) {
    {
        std::lock_guard lock(errorMutex_);
        if (!outputLost_) errorText_ = text;
    }
    outputLost_ = true;
    file_.reset();  // the temporary file goes; an older file stays as it was
}

void CliHost::sayOutputError() {
    std::string text;
    {
        std::lock_guard lock(errorMutex_);
        text = std::exchange(errorText_, {});
    }
    if (!text.empty()) note(text, true);
}

void CliHost::drainRows() {
    pipe_.drain();
    sayOutputError();
}

void CliHost::writeRows(const ResultStore& rows, std::span<const RowPipe::Item> items) {
    for (const RowPipe::Item& item : items) {
        if (item.header)
            encoder_.header(out_, item.code);
        else
            encoder_.row(out_, rows, item.code, item.index);
        flushRows(false);
    }
}

void CliHost::flushRows(bool all) {
    if (out_.empty() || (!all && out_.size() < kRowChunk)) return;
    if (!rows_.folder) {
        // Rows before the totals said on standard error, also when both go to one file.
        if (!outputLost_ && (std::fwrite(out_.data(), 1, out_.size(), stdout) != out_.size() ||
                             (all && std::fflush(stdout) != 0)))
            outputError(std::string("standard output: Stream write error (") +
                        std::strerror(errno) + ")");
    } else if (file_) {
        try {
            file_->write(out_);
        } catch (const ExportError& e) {
            outputError(file_->path() + ": " + e.what());
        }
    }
    out_.clear();
}

// A category with rows puts its file in place; one without leaves an older file as it was.
void CliHost::closeFile(std::int32_t rows) {
    drainRows();
    flushRows(true);
    if (!file_) return;
    try {
        if (rows > 0) {
            file_->commit();
            written_.push_back(file_->path());
        }
    } catch (const ExportError& e) {
        outputError(file_->path() + ": " + e.what());
    }
    file_.reset();
    sayOutputError();
}

void CliHost::noted(const SourceNote& n) {
    // A file that could not be opened or read is an error; the rest is what the log would say.
    const bool error = n.kind == SourceNote::Kind::OpenFailed ||
                       n.kind == SourceNote::Kind::ReadFailed ||
                       n.kind == SourceNote::Kind::Unreadable;
    if (error) {
        partial_ = true;
        unread_.push_back(n.file.empty() ? path_ : n.file);
    }
    note(path_ + ": " + noteText(n), error);
}

void CliHost::rowKept(CategoryCode code, std::uint32_t index, RecordState) {
    pipe_.row(store_, code, index);
}

void CliHost::finished(CategoryCode code, std::int32_t found, std::int32_t deleted) {
    closeFile(store_.count(code));
    // Rows that were found but not written are claimed by no total.
    if (outputLost_) return;
    std::string totals = path_ + ": " + totalsText(code, found, deleted);
    const std::vector<std::string> unread = std::exchange(unread_, {});
    for (const std::string& file : unread)
        totals += " (不完整: 无法读取 " + file + ")";
    note(totals, !unread.empty());
}

void CliHost::failed(CategoryCode code, const ScanFailure& failure) {
    closeFile(store_.count(code));
    unread_.clear();
    // A file error names its file already.
    const std::string text = oneLine(failureText(code, failure));
    note(text.starts_with(path_ + ": ") ? text : path_ + ": " + text, true);
}

void CliHost::pageReached(std::uint32_t page) {
    // Output that can no longer be written ends the scan, on the scan's own thread.
    if (outputLost_) state_.ScanHalted = 1;
    progress_.show(path_, page, progressMax_);
}

void CliHost::note(const std::string& text, bool always) {
    if (quiet_ && !always) return;
    progress_.clear();
    std::fprintf(stderr, "%s\n", text.c_str());
}

}  // namespace pc::cli
