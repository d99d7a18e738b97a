// A day typed or picked, or none ("不限"): the bounds of the search bar's date range. The text
// takes a date as people type one (2021-03-04, 2021/3/4, 20210304); the clear button empties it
// in one click; the calendar opens at the day shown, else where the data's own days lie.
#pragma once

#include <QDate>
#include <QWidget>

class QCalendarWidget;
class QLineEdit;
class QToolButton;

namespace pc {

class DateField : public QWidget {
    Q_OBJECT
  public:
    explicit DateField(const char* name, QWidget* parent = nullptr);

    // An invalid date: no bound.
    QDate date() const { return date_; }
    void setDate(QDate date);
    // Where the calendar opens while no day is set.
    void setOpensAt(QDate day) { opensAt_ = day; }
    QCalendarWidget* calendar() const { return calendar_; }
    QLineEdit* edit() const { return edit_; }
    void openCalendar();

  signals:
    void dateChanged(QDate date);

  private:
    void takeTypedText();

    QLineEdit* edit_;
    QToolButton* pick_;
    QCalendarWidget* calendar_;
    QDate date_, opensAt_;
};

}  // namespace pc
