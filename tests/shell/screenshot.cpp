// Renders the window after a scan of the sample databases and saves the pictures the README shows:
//   phonecarve-screenshot SAMPLES_DIR OUT_DIR
// window.png: a search with a row's details; conversations.png: the conversations view with one
// conversation open; tables.png: a table of the "其它表" branch; dialog.png: the scan-source
// dialog.
#include <QApplication>
#include <QFontDatabase>
#include <QLineEdit>
#include <QPixmap>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <iostream>

#include "T_Main.h"
#include "T_Option.h"
#include "result_types.h"
#include "scripted_prompter.h"
#include "temp_dir.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: phonecarve-screenshot SAMPLES_DIR OUT_DIR\n";
        return 2;
    }
    QApplication app(argc, argv);
    for (const char* family : {"Noto Sans CJK SC"})
        if (QFontDatabase::families().contains(family)) app.setFont(QFont(family, 10));
    pc::testing::TempDir appDir;
    pc::testing::ScriptedPrompter prompter;
    pc::MainWindowOptions options;
    options.appDir = appDir.path().string() + "/";
    pc::TMain window(options, prompter);
    window.resize(1100, 700);
    window.show();
    const std::string out = argv[2];
    bool saved = true;

    QTimer::singleShot(300, [&] {
        const std::string samples = argv[1];
        prompter.folders = {samples};
        window.findChild<QAbstractButton*>("BitBtn12")->click();
        window.scanDialog().show();
        saved &= window.scanDialog().grab().save(QString::fromStdString(out + "/dialog.png"));
        window.scanDialog().BitBtn2Click();
        auto* tree = window.findChild<QTreeWidget*>("TreeView1");
        // The SMS branch with rows (the MMS sample's database has an SMS table, empty).
        for (int i = 0; i < tree->topLevelItemCount(); ++i) {
            QTreeWidgetItem* item = tree->topLevelItem(i);
            const auto tag = pc::CategoryTree::tagOf(item);
            if (tag && tag->code == pc::CategoryCode::Sms && !item->text(0).endsWith("(0)"))
                tree->setCurrentItem(item);
        }
        auto* search = window.findChild<QLineEdit*>("SearchEdit");
        search->setText(QString::fromUtf8("明天"));
        emit search->returnPressed();
        auto* list = window.findChild<QTableView*>("ListView1");
        list->setCurrentIndex(list->model()->index(0, 0));
        QTimer::singleShot(300, [&, search] {
            saved &= window.grab().save(QString::fromStdString(out + "/window.png"));
            search->clear();
            emit search->returnPressed();
            window.findChild<QToolButton*>("ConversationButton")->click();
            auto* conversations = window.findChild<QTableView*>("ConversationView");
            conversations->setCurrentIndex(conversations->model()->index(0, 0));
            QTimer::singleShot(300, [&] {
                saved &= window.grab().save(QString::fromStdString(out + "/conversations.png"));
                // The SMS database's other tables, carved: the threads table's rows.
                window.carveTables(std::string(argv[1]) + "/mmssms.db");
                auto* tree = window.findChild<QTreeWidget*>("TreeView1");
                QTreeWidgetItem* tables = tree->topLevelItem(tree->topLevelItemCount() - 1);
                for (int i = 0; i < tables->childCount(); ++i)
                    if (tables->child(i)->text(0).startsWith("threads"))
                        tree->setCurrentItem(tables->child(i));
                QTimer::singleShot(300, [&] {
                    saved &= window.grab().save(QString::fromStdString(out + "/tables.png"));
                    app.exit(saved ? 0 : 1);
                });
            });
        });
    });
    return app.exec();
}
