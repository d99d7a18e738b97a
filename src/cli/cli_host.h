// The command line's words for a scan: rows to standard output (when no folder was given); each
// file's start, notes, totals and early end to standard error, after its name; a progress bar
// there when it is a terminal.
#pragma once

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

#include "row_format.h"
#include "scan_events.h"
#include "text_export.h"

namespace pc::cli {

class CliHost : public ScanEvents {
  public:
    struct Output {
        OutputFormat format;
        TextEncoding encoding;
    };
    // `rows`: where found rows go as they are found; nullopt keeps them for the files.
    CliHost(const ResultStore& store, std::optional<Output> rows, bool quiet);

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

  private:
    void clearProgress();

    const ResultStore& store_;
    std::optional<Output> rows_;
    bool quiet_;
    bool progressShown_ = false;
    bool terminal_;
    std::string path_;
    std::uint32_t progressMax_ = 0;
    std::chrono::steady_clock::time_point lastDraw_{};
};

}  // namespace pc::cli
