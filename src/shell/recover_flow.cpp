#include "recover_flow.h"

#include <QString>

#include <filesystem>

namespace pc {

void RecoverFlow::recover(const std::vector<CategoryCode>& queue, const RowChoice* chosen) {
    const auto choice = prompter_.chooseExport();
    if (!choice) return;
    const std::string& last = settings_.exportFolder();
    const auto folder = prompter_.chooseFolder("请选择保存目录:", last.empty() ? "/" : last);
    if (!folder) return;
    settings_.rememberExportFolder(*folder);
    // The text files in GBK as the recover command always wrote them; CSV in UTF-8, as the
    // command line writes it.
    const TextEncoding encoding =
        choice->format == OutputFormat::Tsv ? TextEncoding::Gb18030 : TextEncoding::Utf8;
    const ExportRequest request{queue, choice->format, encoding, chosen};
    std::string existing;
    for (const std::string& file : exportFiles(request, store_, *folder))
        if (std::filesystem::is_regular_file(file)) existing += "\n" + file;
    if (!existing.empty() &&
        prompter_.message("以下文件已存在，是否覆盖？" + existing, "提示", MessageIcon::Question,
                          Buttons::YesNo) != Answer::Yes)
        return;
    try {
        const ExportReport report = exportResultsTo(request, store_, *folder, faces_.pump);
        // Completion is reported only for files written.
        if (report.written.empty()) {
            prompter_.message("没有可恢复的数据！", "提示", MessageIcon::Information);
            return;
        }
        prompter_.message("恢复完成!", "Information", MessageIcon::Information);
        if (choice->openFolder && faces_.openUrl)
            faces_.openUrl(QUrl::fromLocalFile(QString::fromStdString(*folder)));
    } catch (const ExportError& e) {
        faces_.error(e.what());
    }
}

}  // namespace pc
