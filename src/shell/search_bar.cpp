#include "search_bar.h"

#include <QComboBox>
#include <QDate>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>

#include "date_field.h"
#include "row_search.h"

namespace pc {

namespace {

QString u(const char* text) {
    return QString::fromUtf8(text);
}

}  // namespace

SearchBar::SearchBar(ReportListModel& model, RecoveredTablesModel& tables, QWidget* parent)
    : QWidget(parent), model_(model), tables_(tables) {
    setObjectName("SearchBar");
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(2, 2, 2, 0);
    search_ = new QLineEdit;
    search_->setObjectName("SearchEdit");
    search_->setPlaceholderText(u("搜索号码、姓名或内容"));
    search_->setClearButtonEnabled(true);
    from_ = new DateField("DateFrom");
    to_ = new DateField("DateTo");
    stateBox_ = new QComboBox;
    stateBox_->setObjectName("StateBox");
    stateBox_->addItems({u("全部"), u("正常"), u("删除")});
    conversations_ = new QToolButton;
    conversations_->setObjectName("ConversationButton");
    conversations_->setText(u("按会话查看"));
    conversations_->setCheckable(true);
    conversations_->setEnabled(false);
    matchCount_ = new QLabel;
    matchCount_->setObjectName("MatchCount");
    row->addWidget(search_, 3);
    row->addWidget(new QLabel(u("日期")));
    row->addWidget(from_);
    row->addWidget(new QLabel(u("至")));
    row->addWidget(to_);
    row->addWidget(stateBox_);
    row->addWidget(conversations_);
    row->addWidget(matchCount_, 1);

    // Typing waits for a pause, so a long list is not searched at every key.
    delay_ = new QTimer(this);
    delay_->setSingleShot(true);
    delay_->setInterval(150);
    connect(delay_, &QTimer::timeout, this, [this] { applyQuery(); });
    connect(search_, &QLineEdit::textChanged, delay_, qOverload<>(&QTimer::start));
    connect(search_, &QLineEdit::returnPressed, this, [this] { applyQuery(); });
    connect(from_, &DateField::dateChanged, this, [this] { applyQuery(); });
    connect(to_, &DateField::dateChanged, this, [this] { applyQuery(); });
    connect(stateBox_, &QComboBox::currentIndexChanged, this, [this] { applyQuery(); });
    connect(conversations_, &QToolButton::toggled, this, &SearchBar::conversationsToggled);
}

void SearchBar::applyQuery() {
    delay_->stop();
    if (onTable_) {
        tables_.setQuery(query());
        updateMatchCount();
        return;
    }
    model_.setQuery(query(), names_);
}

void SearchBar::showTable(bool on) {
    onTable_ = on;
    from_->setEnabled(!on);
    to_->setEnabled(!on);
    if (on) {
        applyQuery();
    } else if (!(model_.query() == query())) {
        model_.setQuery(query(), names_);
    }
}

RowQuery SearchBar::query() const {
    RowQuery q;
    q.text = search_->text().trimmed().toStdString();
    auto day = [](const DateField* d) {
        return d->date().isValid() ? d->date().toString("yyyy-MM-dd").toStdString() : std::string();
    };
    q.from = day(from_);
    q.to = day(to_);
    if (stateBox_->currentIndex() == 1) q.state = RecordState::Normal;
    if (stateBox_->currentIndex() == 2) q.state = RecordState::Deleted;
    return q;
}

void SearchBar::updateMatchCount() {
    const int shown = onTable_ ? tables_.rowCount() : model_.rowCount();
    const int all = onTable_ ? tables_.unfilteredCount() : model_.unfilteredCount();
    matchCount_->setText(shown == all ? u("共 %1 条").arg(all)
                                      : u("找到 %1 / %2 条").arg(shown).arg(all));
}

void SearchBar::setDataDays(QDate first, QDate last) {
    from_->setOpensAt(first);
    to_->setOpensAt(last);
}

void SearchBar::showCount(const QString& text) {
    matchCount_->setText(text);
}

void SearchBar::setQueryEnabled(bool on) {
    for (QWidget* w : std::initializer_list<QWidget*>{search_, stateBox_})
        w->setEnabled(on);
    for (QWidget* w : std::initializer_list<QWidget*>{from_, to_})
        w->setEnabled(on && !onTable_);
}

}  // namespace pc
