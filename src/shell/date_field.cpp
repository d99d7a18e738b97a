#include "date_field.h"

#include <QCalendarWidget>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRegularExpression>
#include <QToolButton>

namespace pc {

namespace {

// A date as people type one, or an invalid date.
QDate typedDate(const QString& text) {
    static const QRegularExpression parts(
        R"(^\s*(\d{4})\s*[-/.年]\s*(\d{1,2})\s*[-/.月]\s*(\d{1,2})\s*日?\s*$)");
    static const QRegularExpression packed(R"(^\s*(\d{4})(\d{2})(\d{2})\s*$)");
    for (const QRegularExpression* form : {&parts, &packed}) {
        const QRegularExpressionMatch m = form->match(text);
        if (m.hasMatch())
            return QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    }
    return {};
}

}  // namespace

DateField::DateField(const char* name, QWidget* parent)
    : QWidget(parent),
      edit_(new QLineEdit),
      pick_(new QToolButton),
      calendar_(new QCalendarWidget) {
    setObjectName(name);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    edit_->setObjectName(QString(name) + "Edit");
    edit_->setPlaceholderText(QString::fromUtf8("不限"));
    edit_->setClearButtonEnabled(true);
    edit_->setMaxLength(16);
    edit_->setMinimumWidth(edit_->fontMetrics().horizontalAdvance("0000-00-00") + 36);
    edit_->setToolTip(QString::fromUtf8("输入日期，如 2021-03-04；清空即不限"));
    pick_->setObjectName(QString(name) + "Pick");
    pick_->setArrowType(Qt::DownArrow);
    pick_->setToolTip(QString::fromUtf8("选择日期"));
    row->addWidget(edit_);
    row->addWidget(pick_);
    calendar_->setObjectName(QString(name) + "Calendar");
    calendar_->setParent(this, Qt::Popup);
    calendar_->setGridVisible(true);

    connect(edit_, &QLineEdit::editingFinished, this, [this] { takeTypedText(); });
    // The clear button: no bound at once.
    connect(edit_, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.isEmpty() && date_.isValid()) setDate({});
    });
    connect(pick_, &QToolButton::clicked, this, [this] { openCalendar(); });
    for (auto picked : {&QCalendarWidget::clicked, &QCalendarWidget::activated})
        connect(calendar_, picked, this, [this](QDate day) {
            calendar_->hide();
            setDate(day);
        });
}

void DateField::setDate(QDate date) {
    const QString text = date.isValid() ? date.toString("yyyy-MM-dd") : QString();
    if (edit_->text() != text) edit_->setText(text);
    edit_->setStyleSheet({});
    if (date == date_) return;
    date_ = date;
    emit dateChanged(date_);
}

void DateField::takeTypedText() {
    const QString text = edit_->text().trimmed();
    if (text.isEmpty()) {
        setDate({});
        return;
    }
    const QDate day = typedDate(text);
    if (day.isValid()) {
        setDate(day);
        return;
    }
    // Not a date: said where it was typed, the range as it was.
    edit_->setStyleSheet("QLineEdit { color: #c00000; }");
}

void DateField::openCalendar() {
    const QDate at = date_.isValid() ? date_ : opensAt_.isValid() ? opensAt_ : QDate::currentDate();
    calendar_->setSelectedDate(at);
    calendar_->setCurrentPage(at.year(), at.month());
    calendar_->adjustSize();
    calendar_->move(mapToGlobal(QPoint(0, height())));
    calendar_->show();
    calendar_->setFocus();
}

}  // namespace pc
