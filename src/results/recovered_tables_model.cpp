#include "recovered_tables_model.h"

#include "recovered_rows_output.h"

namespace pc {

namespace {

// A cell shows at most this much of a long text: the list is for finding rows.
constexpr qsizetype kShownChars = 500;

}  // namespace

void RecoveredTablesModel::setRecovery(std::shared_ptr<const Recovery> recovery) {
    beginResetModel();
    recovery_ = std::move(recovery);
    table_ = 0;
    rows_.clear();
    endResetModel();
}

void RecoveredTablesModel::showTable(std::size_t table, RowFilter filter) {
    beginResetModel();
    table_ = table;
    rows_.clear();
    if (recovery_)
        for (std::size_t i = 0; i < recovery_->rows.size(); ++i) {
            const RecoveredRow& row = recovery_->rows[i];
            const bool wanted = filter == RowFilter::All || (filter == RowFilter::Deleted) ==
                                                                (row.state == RecordState::Deleted);
            if (row.table == table && wanted) rows_.push_back(i);
        }
    endResetModel();
}

int RecoveredTablesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int RecoveredTablesModel::columnCount(const QModelIndex& parent) const {
    if (parent.isValid() || !recovery_ || table_ >= recovery_->tables.size()) return 0;
    return static_cast<int>(recovery_->tables[table_].columns.size()) + 1;
}

QVariant RecoveredTablesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || static_cast<std::size_t>(index.row()) >= rows_.size()) return {};
    const RecoveredRow& row = recovery_->rows[rows_[static_cast<std::size_t>(index.row())]];
    const auto column = static_cast<std::size_t>(index.column());
    const bool state = column == row.values.size();
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    if (state) return QString::fromUtf8(row.state == RecordState::Deleted ? "删除" : "正常");
    if (column > row.values.size()) return {};
    QString text = QString::fromStdString(valueText(row.values[column]));
    if (role == Qt::DisplayRole && text.size() > kShownChars) text.truncate(kShownChars);
    return text;
}

QVariant RecoveredTablesModel::headerData(int section, Qt::Orientation orientation,
                                          int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || !recovery_ ||
        table_ >= recovery_->tables.size())
        return {};
    const auto& columns = recovery_->tables[table_].columns;
    const auto at = static_cast<std::size_t>(section);
    if (at == columns.size()) return QString::fromUtf8("状态");
    return at < columns.size() ? QString::fromStdString(columns[at].name) : QVariant{};
}

}  // namespace pc
