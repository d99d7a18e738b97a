#include "recovered_tables_model.h"

#include "recovered_rows_output.h"

#include <algorithm>
#include <optional>

namespace pc {

namespace {

// A cell shows at most this much of a long text: the list is for finding rows.
constexpr qsizetype kShownChars = 500;

}  // namespace

void RecoveredTablesModel::setStore(const RecoveredRowStore* store) {
    beginResetModel();
    store_ = store;
    ticks_.clear();
    table_ = 0;
    shown_ = false;
    tableRows_ = {};
    rows_ = {};
    endResetModel();
}

void RecoveredTablesModel::showTable(std::size_t table, RowFilter filter) {
    beginResetModel();
    table_ = table;
    shown_ = store_ && table < store_->tableCount();
    tableRows_ = shown_ ? store_->rowsOf(table, filter) : std::vector<std::uint32_t>{};
    narrow();
    endResetModel();
}

void RecoveredTablesModel::setQuery(const RowQuery& query) {
    beginResetModel();
    query_ = query;
    narrow();
    endResetModel();
}

void RecoveredTablesModel::narrow() {
    if (query_.text.empty() && !query_.state) {
        rows_ = tableRows_;
        return;
    }
    rows_.clear();
    const std::optional<TextFinder> finder =
        query_.text.empty() ? std::nullopt : std::optional<TextFinder>(query_.text);
    for (std::uint32_t r : tableRows_) {
        const RecoveredRowView row = store_->row(r, values_);
        if (query_.state && row.state != *query_.state) continue;
        if (finder && std::none_of(row.values.begin(), row.values.end(),
                                   [&](const ValueView& v) { return finder->in(valueText(v)); }))
            continue;
        rows_.push_back(r);
    }
}

int RecoveredTablesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int RecoveredTablesModel::columnCount(const QModelIndex& parent) const {
    if (parent.isValid() || !shown_) return 0;
    return static_cast<int>(store_->table(table_).columns.size()) + 1;
}

std::string RecoveredTablesModel::cellText(int r, int c) const {
    const RecoveredRowView row = store_->row(storeIndex(r), values_);
    const auto column = static_cast<std::size_t>(c);
    if (column == row.values.size()) return stateText(row.state);
    return column < row.values.size() ? valueText(row.values[column]) : std::string();
}

QVariant RecoveredTablesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || static_cast<std::size_t>(index.row()) >= rows_.size()) return {};
    if (role == Qt::CheckStateRole && index.column() == 0)
        return ticks_.at(storeIndex(index.row())) ? Qt::Checked : Qt::Unchecked;
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    QString text = QString::fromStdString(cellText(index.row(), index.column()));
    if (role == Qt::DisplayRole && text.size() > kShownChars) text.truncate(kShownChars);
    return text;
}

QVariant RecoveredTablesModel::headerData(int section, Qt::Orientation orientation,
                                          int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || !shown_) return {};
    const auto& columns = store_->table(table_).columns;
    const auto at = static_cast<std::size_t>(section);
    if (at == columns.size()) return QString::fromUtf8("状态");
    return at < columns.size() ? QString::fromStdString(columns[at].name) : QVariant{};
}

void RecoveredTablesModel::setAllTicks(bool ticked) {
    std::vector<int> all(rows_.size());
    for (std::size_t i = 0; i < all.size(); ++i)
        all[i] = static_cast<int>(i);
    setTicks(all, ticked);
}

void RecoveredTablesModel::setTicks(const std::vector<int>& rows, bool ticked) {
    if (rows.empty()) return;
    for (int r : rows)
        if (r >= 0 && static_cast<std::size_t>(r) < rows_.size()) ticks_.set(storeIndex(r), ticked);
    emit dataChanged(index(0, 0), index(static_cast<int>(rows_.size()) - 1, 0),
                     {Qt::CheckStateRole});
}

Qt::ItemFlags RecoveredTablesModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == 0) f |= Qt::ItemIsUserCheckable;
    return f;
}

bool RecoveredTablesModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || index.column() != 0 || !index.isValid()) return false;
    setTicks({index.row()}, value.toInt() == Qt::Checked);
    return true;
}

}  // namespace pc
