#include "cli_host.h"

#include <algorithm>
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

CliHost::CliHost(const ResultStore& store, Output rows, bool quiet)
    : store_(store),
      rows_(std::move(rows)),
      encoder_(rows_.format, rows_.encoding, rows_.folder.has_value()),
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
    sayFileError();
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
        fileError(e.what());
        sayFileError();
    }
}

void CliHost::fileError(const std::string& text) {
    if (!fileFailed_) fileErrorText_ = text;
    fileFailed_ = true;
    file_.reset();  // the temporary file goes; an older file stays as it was
}

void CliHost::sayFileError() {
    if (!fileErrorText_.empty()) note(std::exchange(fileErrorText_, {}), true);
}

void CliHost::drainRows() {
    pipe_.drain();
    sayFileError();
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
        std::fwrite(out_.data(), 1, out_.size(), stdout);
        // Rows before the totals said on standard error, also when both go to one file.
        if (all) std::fflush(stdout);
    } else if (file_) {
        try {
            file_->write(out_);
        } catch (const ExportError& e) {
            fileError(e.what());
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
        fileError(e.what());
    }
    file_.reset();
    sayFileError();
}

void CliHost::noted(const SourceNote& n) {
    // A file that could not be opened or read is an error; the rest is what the log would say.
    const bool error = n.kind == SourceNote::Kind::OpenFailed ||
                       n.kind == SourceNote::Kind::ReadFailed ||
                       n.kind == SourceNote::Kind::Unreadable;
    note(path_ + ": " + noteText(n), error);
}

void CliHost::rowKept(CategoryCode code, std::uint32_t index, RecordState) {
    pipe_.row(store_, code, index);
}

void CliHost::finished(CategoryCode code, std::int32_t found, std::int32_t deleted) {
    closeFile(store_.count(code));
    note(path_ + ": " + totalsText(code, found, deleted));
}

void CliHost::failed(CategoryCode code, const ScanFailure& failure) {
    closeFile(store_.count(code));
    note(path_ + ": " + oneLine(failureText(code, failure)), true);
}

void CliHost::pageReached(std::uint32_t page) {
    progress_.show(path_, page, progressMax_);
}

void CliHost::note(const std::string& text, bool always) {
    if (quiet_ && !always) return;
    progress_.clear();
    std::fprintf(stderr, "%s\n", text.c_str());
}

}  // namespace pc::cli
