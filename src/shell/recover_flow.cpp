#include "recover_flow.h"

#include <QString>

#include <filesystem>

#include "error_words.h"
#include "html_report.h"
#include "program_version.h"
#include "table_rows_export.h"
#include "workbook_export.h"

namespace pc {

namespace {

std::string listed(const std::vector<WrittenFile>& written) {
    std::string out;
    for (const WrittenFile& f : written)
        out += "\n" + f.path + "：" + std::to_string(f.rows) + " 条";
    return out;
}

}  // namespace

std::string recoveryDoneText(const std::vector<WrittenFile>& written) {
    return "恢复完成!\n" + listed(written);
}

std::string recoveryFailureText(const ExportError& error, const std::vector<WrittenFile>& written) {
    std::string text = "恢复失败：无法写入 " + (error.path().empty() ? "文件" : error.path()) +
                       "\n" + errorWords(error.errorNumber());
    if (!written.empty()) text += "\n\n已写入的文件：" + listed(written);
    return text;
}

// `files`: those the categories' rows would go to.
bool RecoverFlow::mayReplace(const std::vector<std::string>& files, const ExportRequest& request,
                             const RecoverRequest& what, const std::string& folder) {
    std::string existing;
    for (const std::string& file : files)
        if (std::filesystem::is_regular_file(file)) existing += "\n" + file;
    if (what.tables && what.tables->rowCount() > 0) {
        const std::string target = tableRowsTarget(request.format, folder);
        if (std::filesystem::exists(target)) existing += "\n" + target;
    }
    return existing.empty() ||
           prompter_.message("以下文件已存在，是否覆盖？" + existing, "提示", MessageIcon::Question,
                             Buttons::YesNo) == Answer::Yes;
}

void RecoverFlow::runBegan(const RunPlan& plan) {
    if (before_.valid()) before_.wait();
    run_.reset();
    endedUnix_ = 0;
    utcOffsetSeconds_ = plan.utcOffsetSeconds;
    before_ = std::async(std::launch::async, [plan] { return factsBeforeRun(plan); });
}

void RecoverFlow::runEnded() {
    endedUnix_ = unixNow();
}

// The report of the whole run (every row, ticked or not) in its own folder of `folder`.
void RecoverFlow::writeReport(const std::string& folder, bool open) {
    if (before_.valid()) {
        try {
            while (before_.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready)
                if (faces_.pump) faces_.pump();
            run_ = before_.get();
            run_->endedUnix = endedUnix_;
        } catch (const std::system_error& e) {
            prompter_.message(std::string("无法生成报告：无法读取源文件\n") + e.what(), "提示",
                              MessageIcon::Error);
            return;
        }
    }
    if (!run_) {
        prompter_.message("没有可生成报告的扫描。", "提示", MessageIcon::Error);
        return;
    }
    const std::string dir = joinPath(folder, kReportFolder);
    const std::string index = joinPath(dir, "index.html");
    if (std::filesystem::exists(index) &&
        prompter_.message("以下文件已存在，是否覆盖？\n" + index, "提示", MessageIcon::Question,
                          Buttons::YesNo) != Answer::Yes)
        return;
    std::vector<std::string> pages;
    try {
        ReportFacts facts = reportFactsOf(*run_, utcOffsetSeconds_, faces_.pump);
        facts.title = "PhoneCarve 恢复报告";
        facts.version = kProgramVersion;
        facts.command = kWindowCommand;
        pages = writeHtmlReport(dir, facts, store_, faces_.pump);
    } catch (const ExportError& e) {
        prompter_.message(recoveryFailureText(e, {}), "提示", MessageIcon::Error);
        return;
    } catch (const std::system_error& e) {
        prompter_.message(std::string("恢复失败：无法读取源文件\n") + e.what(), "提示",
                          MessageIcon::Error);
        return;
    }
    prompter_.message(
        "恢复完成!\n\n" + index + "（共 " + std::to_string(pages.size()) + " 个页面）",
        "Information", MessageIcon::Information);
    if (open && faces_.openUrl &&
        !faces_.openUrl(QUrl::fromLocalFile(QString::fromStdString(index))))
        prompter_.message("无法打开报告：没有可用的浏览器。\n报告已保存在：" + index, "提示",
                          MessageIcon::Information);
}

void RecoverFlow::recover(const RecoverRequest& what) {
    const auto choice = prompter_.chooseExport();
    if (!choice) return;
    const std::string& last = settings_.exportFolder();
    const auto folder = prompter_.chooseFolder("请选择保存目录:", last.empty() ? "/" : last);
    if (!folder) return;
    settings_.rememberExportFolder(*folder);
    if (choice->report) {
        writeReport(*folder, choice->openFolder);
        return;
    }
    // The text files in GBK as the recover command always wrote them; CSV in UTF-8, as the
    // command line writes it.
    const OutputFormat format = choice->workbook ? OutputFormat::SpreadsheetCsv : choice->format;
    const TextEncoding encoding =
        format == OutputFormat::Tsv ? TextEncoding::Gb18030 : TextEncoding::Utf8;
    const ExportRequest request{what.queue, format, encoding, what.chosen};
    // Files a category with rows would be written to; the workbook holds them all.
    std::vector<std::string> files = exportFiles(request, store_, *folder);
    const bool anyRows = !files.empty();
    if (choice->workbook && anyRows) files = {joinPath(*folder, kWorkbookName)};
    if (!mayReplace(files, request, what, *folder)) return;
    std::vector<WrittenFile> written;
    try {
        if (!choice->workbook)
            written = exportResultsTo(request, store_, *folder, faces_.pump).written;
        else if (anyRows)
            written.push_back(
                writeWorkbook(joinPath(*folder, kWorkbookName), request, store_, faces_.pump));
        if (what.tables) {
            const auto tables =
                exportTableRows(*what.tables, what.tableRows, format, *folder, faces_.pump);
            written.insert(written.end(), tables.begin(), tables.end());
        }
    } catch (const ExportError& e) {
        prompter_.message(recoveryFailureText(e, written), "提示", MessageIcon::Error);
        return;
    }
    // Completion is reported only for files written.
    if (written.empty()) {
        prompter_.message("没有可恢复的数据！", "提示", MessageIcon::Information);
        return;
    }
    prompter_.message(recoveryDoneText(written), "Information", MessageIcon::Information);
    if (choice->openFolder && faces_.openUrl &&
        !faces_.openUrl(QUrl::fromLocalFile(QString::fromStdString(*folder))))
        prompter_.message("无法打开文件夹：没有可用的文件管理器。\n文件已保存在：" + *folder,
                          "提示", MessageIcon::Information);
}

}  // namespace pc
