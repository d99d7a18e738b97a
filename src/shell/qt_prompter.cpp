#include "qt_prompter.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QRadioButton>
#include <QVBoxLayout>

namespace pc {

Answer QtPrompter::message(const std::string& text, const std::string& caption, MessageIcon icon,
                           Buttons buttons) {
    QMessageBox box(owner_);
    box.setWindowTitle(QString::fromStdString(caption));
    box.setText(QString::fromStdString(text));
    switch (icon) {
        case MessageIcon::None: box.setIcon(QMessageBox::NoIcon); break;
        case MessageIcon::Information: box.setIcon(QMessageBox::Information); break;
        case MessageIcon::Error: box.setIcon(QMessageBox::Critical); break;
        case MessageIcon::Question: box.setIcon(QMessageBox::Question); break;
    }
    if (buttons == Buttons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return Answer::Ok;
}

std::vector<std::string> QtPrompter::openDatabaseFiles(const std::string& folder) {
    // The filter reads as the user knows it; the patterns match .db in any letter case.
    QFileDialog dialog(owner_);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters({"DB files(*.DB) (*.db *.DB *.Db *.dB)", "All files(*.*) (*)"});
    if (!folder.empty()) dialog.setDirectory(QString::fromStdString(folder));
    std::vector<std::string> files;
    if (dialog.exec() != QDialog::Accepted) return files;
    for (const QString& f : dialog.selectedFiles())
        files.push_back(f.toStdString());
    return files;
}

std::optional<ExportChoice> QtPrompter::chooseExport() {
    QDialog dialog(owner_);
    dialog.setObjectName("ExportChoice");
    dialog.setWindowTitle(QString::fromUtf8("恢复数据"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QString::fromUtf8("保存格式:")));
    const std::pair<const char*, OutputFormat> formats[] = {
        {"文本文件 (GBK, 每行一条, TAB 分隔)", OutputFormat::Tsv},
        {"CSV 表格 (UTF-8)", OutputFormat::Csv},
        {"CSV 表格，供 Excel 等打开 (UTF-8 带 BOM，中文表头)", OutputFormat::SpreadsheetCsv},
        {"JSON lines (UTF-8)", OutputFormat::Jsonl},
        {"Excel 工作簿 (.xlsx，每类一张工作表)", OutputFormat::SpreadsheetCsv},
        {"报告 (HTML，可在浏览器中查看，附源文件校验值)", OutputFormat::Tsv}};
    constexpr std::size_t kFormats = std::size(formats);
    QRadioButton* buttons[kFormats];
    for (std::size_t i = 0; i < kFormats; ++i) {
        buttons[i] = new QRadioButton(QString::fromUtf8(formats[i].first));
        layout->addWidget(buttons[i]);
    }
    buttons[0]->setChecked(true);
    auto* open = new QCheckBox(QString::fromUtf8("完成后打开文件夹（报告：在浏览器中打开）"));
    layout->addWidget(open);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(box, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(box);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    ExportChoice choice;
    for (std::size_t i = 0; i < kFormats; ++i)
        if (buttons[i]->isChecked()) choice.format = formats[i].second;
    choice.workbook = buttons[kFormats - 2]->isChecked();
    choice.report = buttons[kFormats - 1]->isChecked();
    choice.openFolder = open->isChecked();
    return choice;
}

std::optional<std::string> QtPrompter::chooseFolder(const std::string& prompt,
                                                    const std::string& root) {
    const QString folder =
        QFileDialog::getExistingDirectory(owner_, QString::fromStdString(prompt),
                                          QString::fromStdString(root), QFileDialog::ShowDirsOnly);
    if (folder.isEmpty()) return std::nullopt;
    return folder.toStdString();
}

}  // namespace pc
