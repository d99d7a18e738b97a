#include "Unit8.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

namespace pc {

namespace {

QString noticeFamily() {
    const QStringList installed = QFontDatabase::families();
    for (const char* family : {"SimSun", "宋体", "Noto Serif CJK SC", "Noto Sans CJK SC"})
        if (installed.contains(QString::fromUtf8(family))) return QString::fromUtf8(family);
    return {};
}

}  // namespace

TForm8::TForm8(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    setObjectName("Form8");
    setFixedSize(281, 63);
    auto* text = new QLabel(QString::fromUtf8("软件关闭中，请稍等......"), this);
    text->setObjectName("Label1");
    QFont font(noticeFamily());
    font.setPixelSize(14);
    text->setFont(font);
    text->setStyleSheet("color: red;");
    text->move(48, 24);
    text->adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

}  // namespace pc
