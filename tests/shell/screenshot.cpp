// Renders the window after a scan of the sample databases and saves it as a PNG, and with a
// third argument the scan-source dialog as well:
//   phonecarve-screenshot SAMPLES_DIR OUT.png [DIALOG.png]
#include <QApplication>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QPixmap>
#include <QTimer>
#include <QTranslator>
#include <QTreeWidget>

#include <iostream>

#include "T_Main.h"
#include "T_Option.h"
#include "scripted_prompter.h"
#include "temp_dir.h"

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::cerr << "usage: phonecarve-screenshot SAMPLES_DIR OUT.png [DIALOG.png]\n";
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
    window.show();

    QTimer::singleShot(300, [&] {
        const std::string samples = argv[1];
        if (argc == 4) {
            window.scanDialog().show();
            window.scanDialog().grab().save(argv[3]);
        }
        prompter.files = {samples + "/mmssms.db"};
        window.scanDialog().BitBtn1Click();
        window.scanDialog().BitBtn2Click();
        auto* tree = window.findChild<QTreeWidget*>("TreeView1");
        tree->setCurrentItem(tree->topLevelItem(0));
        window.TreeView1Click(tree->topLevelItem(0));
        QTimer::singleShot(300, [&] {
            const bool saved = window.grab().save(argv[2]);
            app.exit(saved ? 0 : 1);
        });
    });
    return app.exec();
}
