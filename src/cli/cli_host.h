// The command line's words for a scan: rows as they are found, to standard output or into the
// export files of a folder; each file's start, notes, totals and early end to standard error,
// after its name; a progress bar there when it is a terminal. Rows are encoded and written in
// chunks on a thread of their own (RowPipe) and never kept.
#pragma once

#include <atomic>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "row_format.h"
#include "row_pipe.h"
#include "run_plan.h"
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
    // `state`: the scan's, stopped when the rows can no longer be written.
    CliHost(const ResultStore& store, Output rows, bool quiet, ScanState& state);
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

    // The export files written, in order.
    const std::vector<std::string>& written() const { return written_; }
    // Whether rows found could not be written (standard output or a file refused them): the
    // command ends, and no totals claim them.
    bool outputLost() const { return outputLost_; }
    // Whether a file read could be read only in part (a side file that could not be read).
    bool partial() const { return partial_; }

  private:
    void openFile(CategoryCode code);
    // On the pipe's thread: encodes a batch and writes it a chunk at a time.
    void writeRows(const ResultStore& rows, std::span<const RowPipe::Item> items);
    // Writes the rows made so far; `all` at the end of a category, else only a full chunk.
    void flushRows(bool all);
    // Waits for the pipe, then says what went wrong with the file meanwhile.
    void drainRows();
    void closeFile(std::int32_t rows);
    // Drops the file (an older one stays as it was) and stops the scan; the error is said by the
    // scan's thread.
    void outputError(const std::string& text);
    void sayOutputError();

    const ResultStore& store_;
    Output rows_;
    RowEncoder encoder_;
    std::string out_;
    std::optional<StreamedFile> file_;
    std::vector<std::string> written_;
    std::atomic<bool> outputLost_ = false;  // set on the pipe's thread too
    std::mutex errorMutex_;
    std::string errorText_;  // not said yet; guarded by errorMutex_
    ScanState& state_;
    bool partial_ = false;
    std::vector<std::string> unread_;  // files of the current scan that could not be read
    bool quiet_;
    TerminalProgress progress_;
    std::string path_;
    std::uint32_t progressMax_ = 0;
    RowPipe pipe_;  // last: its thread ends before what it writes with goes
};

}  // namespace pc::cli
