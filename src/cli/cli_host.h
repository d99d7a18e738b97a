// The scan host of the command line: rows to standard output (when no folder was given), what
// the window would show to standard error, a progress bar when that is a terminal.
#pragma once

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

#include "row_format.h"
#include "scan_host.h"
#include "text_export.h"

namespace pc::cli {

class CliHost : public ScanHost {
  public:
    struct Output {
        OutputFormat format;
        TextEncoding encoding;
    };
    // `rows`: where found rows go as they are found; nullopt keeps them for the files.
    CliHost(const ResultStore& store, std::optional<Output> rows, bool quiet);

    void startCategory(CategoryCode code, const std::string& path);

    void clearRows() override {}
    void addCategoryBranch(CategoryCode code) override;
    void setBranchCounts(std::int32_t, std::int32_t) override {}
    void rowAdded(CategoryCode code, std::uint32_t index) override;
    void setStatus(int, const std::string&) override {}
    void log(const std::string& message) override;
    void setCommandState(CommandState) override {}
    void setProgressRange(std::uint32_t maximum) override { progressMax_ = maximum; }
    void pageReached(std::uint32_t page) override;
    void pumpEvents() override {}
    void showMessage(const std::string& text, const std::string& caption,
                     MessageIcon icon) override;
    void showError(const std::string& text) override;

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
