#include "recovered_tables_model.h"

#include "recovered_rows_output.h"

namespace pc {

namespace {

// A cell shows at most this much of a long text: the list is for finding rows.
constexpr qsizetype kShownChars = 500;

}  // namespace

void RecoveredTablesModel::setStore(const RecoveredRowStore* store) {
    beginResetModel();
    store_ = store;
    table_ = 0;
    shown_ = false;
    rows_ = {};
    endResetModel();
}

void RecoveredTablesModel::showTable(std::size_t table, RowFilter filter) {
    beginResetModel();
    table_ = table;
    shown_ = store_ && table < store_->tableCount();
    rows_ = shown_ ? store_->rowsOf(table, filter) : std::vector<std::uint32_t>{};
    endResetModel();
}

int RecoveredTablesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int RecoveredTablesModel::columnCount(const QModelIndex& parent) const {
    if (parent.isValid() || !shown_) return 0;
    return static_cast<int>(store_->table(table_).columns.size()) + 1;
}

QVariant RecoveredTablesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || static_cast<std::size_t>(index.row()) >= rows_.size()) return {};
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    const RecoveredRowView row = store_->row(rows_[static_cast<std::size_t>(index.row())], values_);
    const auto column = static_cast<std::size_t>(index.column());
    if (column == row.values.size())
        return QString::fromUtf8(row.state == RecordState::Deleted ? "删除" : "正常");
    if (column > row.values.size()) return {};
    QString text = QString::fromStdString(valueText(row.values[column]));
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

}  // namespace pc
