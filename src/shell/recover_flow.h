// The recover command as the window runs it: the format and the folder asked for, existing files
// overwritten only when the user agrees, the files written while the window keeps painting, and
// what was written, file by file, or what failed, said.
#pragma once

#include <QUrl>

#include <functional>
#include <future>
#include <optional>
#include <string>
#include <vector>

#include "prompter.h"
#include "recovered_row_store.h"
#include "result_store.h"
#include "run_facts.h"
#include "text_export.h"
#include "window_settings.h"

namespace pc {

// What a recover command writes: the rows of the categories of `queue` (those `chosen` names,
// when given) and of the carved tables (the rows `tableRows` names, when given; none without
// `tables`).
struct RecoverRequest {
    std::vector<CategoryCode> queue;
    const RowChoice* chosen = nullptr;
    const RecoveredRowStore* tables = nullptr;
    const std::vector<std::uint32_t>* tableRows = nullptr;
};

class RecoverFlow {
  public:
    struct Faces {
        std::function<void()> pump;                // lets the window paint meanwhile
        std::function<bool(const QUrl&)> openUrl;  // may be empty; false: nothing opened it
    };
    RecoverFlow(Prompter& prompter, const ResultStore& store, WindowSettings& settings, Faces faces)
        : prompter_(prompter), store_(store), settings_(settings), faces_(std::move(faces)) {}

    void recover(const RecoverRequest& request);

    // A run begins: its files' SHA-256 are taken for a report of it, on a thread of their own
    // while the run reads the same bytes (it never writes them).
    void runBegan(const RunPlan& plan);
    void runEnded();

  private:
    void writeReport(const std::string& folder, bool open);

    // The files that would be replaced, and whether the user lets them be.
    bool mayReplace(const std::vector<std::string>& files, const ExportRequest& request,
                    const RecoverRequest& what, const std::string& folder);

    Prompter& prompter_;
    const ResultStore& store_;
    WindowSettings& settings_;
    Faces faces_;
    std::future<RunFacts> before_;
    std::optional<RunFacts> run_;
    std::int64_t endedUnix_ = 0;
    std::int64_t utcOffsetSeconds_ = 8 * 3600;
};

// The report's folder in the one chosen.
inline constexpr const char* kReportFolder = "PhoneCarve 报告";
inline constexpr const char* kWindowCommand = "phonecarve-gui（窗口：扫描后“恢复数据”）";

// The box of a recovery that failed: the file and the cause in the window's words, and the files
// written before it.
std::string recoveryFailureText(const ExportError& error, const std::vector<WrittenFile>& written);
// "恢复完成!" and under it each file written with its rows.
std::string recoveryDoneText(const std::vector<WrittenFile>& written);

}  // namespace pc
