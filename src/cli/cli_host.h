// The command line's words for a scan: rows as they are found, to standard output or into the
// export files of a folder; each file's start, notes, totals and early end to standard error,
// after its name; a progress bar there when it is a terminal. Rows are encoded and written in
// chunks on a thread of their own (RowPipe) and never kept.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "row_format.h"
#include "row_pipe.h"
#include "scan_events.h"
#include "terminal_progress.h"
#include "text_export.h"

namespace pc::cli {

class CliHost : public ScanEvents {
  public:
    struct Output {
        OutputFormat format;
        TextEncoding encoding;
        std::optional<std::string> folder;  // the export files' folder; none: standard output
    };
    CliHost(const ResultStore& store, Output rows, bool quiet);
    ~CliHost() override;

    // The file the next scan reads, which its lines on standard error name.
    void startCategory(CategoryCode code, const std::string& path);

    void started(CategoryCode code) override;
    void noted(const SourceNote& note) override;
    void progressRange(std::uint32_t maximum, std::uint32_t) override { progressMax_ = maximum; }
    void pageReached(std::uint32_t page) override;
    void idle() override {}
    void rowKept(CategoryCode code, std::uint32_t index, RecordState state) override;
    void finished(CategoryCode code, std::int32_t found, std::int32_t deleted) override;
    void failed(CategoryCode code, const ScanFailure& failure) override;

    // A line for standard error, shown even with --quiet when `always`.
    void note(const std::string& text, bool always = false);

    // The export files written, in order; whether one could not be.
    const std::vector<std::string>& written() const { return written_; }
    bool fileFailed() const { return fileFailed_; }

  private:
    void openFile(CategoryCode code);
    // On the pipe's thread: encodes a batch and writes it a chunk at a time.
    void writeRows(const ResultStore& rows, std::span<const RowPipe::Item> items);
    // Writes the rows made so far; `all` at the end of a category, else only a full chunk.
    void flushRows(bool all);
    // Waits for the pipe, then says what went wrong with the file meanwhile.
    void drainRows();
    void closeFile(std::int32_t rows);
    // Drops the file (an older one stays as it was); the error is said by the scan's thread.
    void fileError(const std::string& text);
    void sayFileError();

    const ResultStore& store_;
    Output rows_;
    RowEncoder encoder_;
    std::string out_;
    std::optional<StreamedFile> file_;
    std::vector<std::string> written_;
    bool fileFailed_ = false;
    std::string fileErrorText_;  // not said yet
    bool quiet_;
    TerminalProgress progress_;
    std::string path_;
    std::uint32_t progressMax_ = 0;
    RowPipe pipe_;  // last: its thread ends before what it writes with goes
};

}  // namespace pc::cli
