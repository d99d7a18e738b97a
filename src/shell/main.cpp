// phonecarve-gui: the window.
#include <QApplication>
#include <QDesktopServices>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QProcess>
#include <QTranslator>

#include "T_Main.h"
#include "app_dir.h"
#include "qt_prompter.h"

namespace {

// Qt's own dialogs and buttons in Chinese ("是"/"否", the file picker), as the window itself.
void loadChineseTranslations(QApplication& app) {
    for (const char* name : {"qtbase_zh_CN", "qt_zh_CN"}) {
        auto* translator = new QTranslator(&app);
        if (translator->load(name, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            app.installTranslator(translator);
        else
            delete translator;
    }
}

void preferCjkFont(QApplication& app) {
    for (const char* family : {"Noto Sans CJK SC", "WenQuanYi Micro Hei", "SimSun"}) {
        if (QFontDatabase::families().contains(family)) {
            QFont font(family);
            font.setPointSizeF(app.font().pointSizeF());
            app.setFont(font);
            return;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setApplicationName("phonecarve");
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    loadChineseTranslations(app);
    preferCjkFont(app);

    pc::QtPrompter prompter;
    pc::MainWindowOptions options;
    options.appDir = pc::chooseAppDir();
    options.openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    options.startDetached = [](const std::string& program) {
        return QProcess::startDetached(QString::fromStdString(program), {});
    };
    options.terminate = [] { QCoreApplication::quit(); };
    pc::TMain window(options, prompter);
    prompter.setOwner(&window);
    window.show();
    return app.exec();
}
