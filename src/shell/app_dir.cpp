#include "app_dir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace pc {

namespace {

bool writable(const QString& dir) {
    QTemporaryFile probe(dir + "/.phonecarve-XXXXXX");
    return probe.open();
}

std::string withSeparator(const QString& dir) {
    return QDir(dir).absolutePath().toStdString() + "/";
}

}  // namespace

std::string chooseAppDir() {
    const QString programDir = QCoreApplication::applicationDirPath();
    if (writable(programDir)) return withSeparator(programDir);
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(data);
    return withSeparator(data);
}

}  // namespace pc
