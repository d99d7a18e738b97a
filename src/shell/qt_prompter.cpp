#include "qt_prompter.h"

#include <QFileDialog>
#include <QMessageBox>

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

std::optional<std::string> QtPrompter::openDatabaseFile() {
    // The filter reads as the user knows it; the patterns match .db in any letter case.
    QFileDialog dialog(owner_);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters({"DB files(*.DB) (*.db *.DB *.Db *.dB)", "All files(*.*) (*)"});
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().front().toStdString();
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
