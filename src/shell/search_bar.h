// The bar above the list: a search as typed in numbers, names and texts, a date range, normal or
// deleted rows, the conversations switch and the count of rows shown. It narrows the report list
// it is given.
#pragma once

#include <QDate>
#include <QWidget>

#include "contact_names.h"
#include "recovered_tables_model.h"
#include "report_list_model.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QTimer;
class QToolButton;

namespace pc {

class DateField;

class SearchBar : public QWidget {
    Q_OBJECT
  public:
    SearchBar(ReportListModel& model, RecoveredTablesModel& tables, QWidget* parent = nullptr);

    // The first and last day of the run's messages and calls: where the calendars open.
    void setDataDays(QDate first, QDate last);
    // The run's contacts, which name the numbers searched; nullptr: none yet.
    void setNames(const ContactNames* names) { names_ = names; }
    // Narrows the list shown to what the bar says.
    void applyQuery();
    // The list shown is a carved table's (true) or a category's: the bar narrows that one, a
    // table by text and state only.
    void showTable(bool on);
    // "共 N 条", or "找到 M / N 条" when narrowed, of the list shown.
    void updateMatchCount();
    // The count's place shows `text` instead (the conversations' or a table's count).
    void showCount(const QString& text);
    QToolButton* conversationsButton() const { return conversations_; }
    // The search, the dates and the state box take input (not while conversations are shown).
    void setQueryEnabled(bool on);

  signals:
    void conversationsToggled(bool on);

  private:
    RowQuery query() const;

    ReportListModel& model_;
    RecoveredTablesModel& tables_;
    bool onTable_ = false;
    const ContactNames* names_ = nullptr;
    QLineEdit* search_ = nullptr;
    DateField* from_ = nullptr;
    DateField* to_ = nullptr;
    QComboBox* stateBox_ = nullptr;
    QToolButton* conversations_ = nullptr;
    QLabel* matchCount_ = nullptr;
    QTimer* delay_ = nullptr;
};

}  // namespace pc
