#include "report_list_model.h"

#include <algorithm>

#include "category_profile.h"
#include "result_columns.h"
#include "row_sort.h"

namespace pc {

ReportListModel::ReportListModel(const ResultStore& store, ListWork* work, QObject* parent)
    : QAbstractTableModel(parent), store_(store), work_(work) {
}

void ReportListModel::reset(std::vector<std::uint32_t> nodeRows, bool followsScan) {
    beginResetModel();
    ++revision_;
    ++node_;
    nodeRows_.assign(nodeRows.begin(), nodeRows.end());
    queued_.clear();
    followsScan_ = followsScan;
    filter();
    endResetModel();
}

void ReportListModel::filter() {
    if (!code_) {
        rows_ = nodeRows_;
        return;
    }
    const std::vector<std::uint32_t> shown =
        matchingRows(store_, *code_, nodeRows_, query_, names_);
    rows_.assign(shown.begin(), shown.end());
}

void ReportListModel::setColumns(CategoryCode code) {
    code_ = code;
    reset({}, true);
}

void ReportListModel::clearRows() {
    reset({}, true);
}

void ReportListModel::forgetTicks() {
    for (auto& ticks : ticks_)
        ticks.clear();
}

void ReportListModel::queueRow(CategoryCode code, std::uint32_t index) {
    if (followsScan_ && code_ == code) queued_.push_back(index);
}

void ReportListModel::flushQueuedRows() {
    if (queued_.empty()) return;
    nodeRows_.insert(nodeRows_.end(), queued_.begin(), queued_.end());
    std::vector<std::uint32_t> shown = matchingRows(store_, *code_, queued_, query_, names_);
    queued_.clear();
    ++revision_;
    if (shown.empty()) return;
    const int first = static_cast<int>(rows_.size());
    beginInsertRows({}, first, first + static_cast<int>(shown.size()) - 1);
    rows_.insert(rows_.end(), shown.begin(), shown.end());
    endInsertRows();
}

void ReportListModel::showNode(CategoryTag tag) {
    code_ = tag.code;
    reset(store_.rowsMatching(tag), false);
}

void ReportListModel::setNames(const ContactNames* names) {
    if (names == names_) return;
    if (!query_.text.empty()) {
        setQuery(query_, names);
        return;
    }
    names_ = names;
    // The "联系人" column shows the new names.
    if (!rows_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

void ReportListModel::setQuery(RowQuery query, const ContactNames* names) {
    flushQueuedRows();
    query_ = std::move(query);
    names_ = names;
    if (!code_) return;
    remake([this, code = *code_](Rows rows, const RowQuery& q, const ContactNames* n) {
        Rows shown = matchingRows(store_, code, rows, q, n);
        return std::pair(std::move(rows), std::move(shown));
    });
}

void ReportListModel::sortRows(int column, bool ascending) {
    if (!code_ || nodeRows_.empty()) return;
    flushQueuedRows();
    const auto& columns = listColumns(*code_);
    if (column < 0 || static_cast<std::size_t>(column) >= columns.size()) return;
    const int listed = columns[static_cast<std::size_t>(column)].cell;
    const auto cell = static_cast<std::size_t>(listed);
    if (listed >= 0 && cell >= store_.rowCells(*code_, nodeRows_[0]).size) return;  // "telid"
    const auto number = static_cast<std::size_t>(profileOf(*code_).searchNumberCell);
    remake([this, listed, cell, number, ascending, code = *code_](Rows rows, const RowQuery& q,
                                                                  const ContactNames* n) {
        Rows sorted = listed >= 0 ? sortedByCell(store_, code, rows, cell, ascending)
                                  : sortedByName(store_, code, rows, number, n, ascending);
        Rows shown = q.empty() ? sorted : matchingRows(store_, code, sorted, q, n);
        return std::pair(std::move(sorted), std::move(shown));
    });
}

void ReportListModel::remake(Make make) {
    if (!work_ || work_->held()) {
        auto [rows, shown] = make(Rows(nodeRows_.begin(), nodeRows_.end()), query_, names_);
        showMade(revision_, std::move(rows), std::move(shown));
        return;
    }
    work_->queue(
        [this, make = std::move(make), node = node_]() -> ListWork::Job {
            if (node != node_) return [] { return ListWork::Apply(); };  // another node shown since
            return [this, make, rows = Rows(nodeRows_.begin(), nodeRows_.end()), query = query_,
                    names = names_, revision = revision_]() mutable -> ListWork::Apply {
                auto made = make(std::move(rows), query, names);
                return [this, revision, made = std::move(made)]() mutable {
                    showMade(revision, std::move(made.first), std::move(made.second));
                };
            };
        },
        nodeRows_.size());
}

void ReportListModel::showMade(std::uint64_t revision, Rows nodeRows, Rows shown) {
    if (revision != revision_) return;
    beginResetModel();
    ++revision_;
    nodeRows_.assign(nodeRows.begin(), nodeRows.end());
    rows_.assign(shown.begin(), shown.end());
    endResetModel();
}

void ReportListModel::setAllTicks(bool ticked) {
    std::vector<int> all(rows_.size());
    for (std::size_t i = 0; i < all.size(); ++i)
        all[i] = static_cast<int>(i);
    setTicks(all, ticked);
}

void ReportListModel::setTicks(const std::vector<int>& rows, bool ticked) {
    if (!code_ || rows.empty()) return;
    RowTicks& ticks = ticks_[pc::index(*code_)];
    for (int r : rows)
        if (r >= 0 && static_cast<std::size_t>(r) < rows_.size())
            ticks.set(rows_[static_cast<std::size_t>(r)], ticked);
    emit dataChanged(index(0, 0), index(static_cast<int>(rows_.size()) - 1, 0),
                     {Qt::CheckStateRole});
}

bool ReportListModel::ticked(int row) const {
    return ticks_[pc::index(*code_)].at(rows_.at(static_cast<std::size_t>(row)));
}

std::vector<std::uint32_t> ReportListModel::tickedRows() const {
    return code_ ? tickedRows(*code_) : std::vector<std::uint32_t>{};
}

std::vector<std::uint32_t> ReportListModel::tickedRows(CategoryCode code) const {
    return ticks_[pc::index(code)].ticked();
}

int ReportListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ReportListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() || !code_ ? 0 : static_cast<int>(listColumns(*code_).size());
}

QVariant ReportListModel::data(const QModelIndex& index, int role) const {
    if (!code_ || !index.isValid()) return {};
    if (role == Qt::CheckStateRole && index.column() == 0)
        return ticked(index.row()) ? Qt::Checked : Qt::Unchecked;
    if (role != Qt::DisplayRole) return {};
    const RowCells cells = store_.rowCells(*code_, rows_.at(static_cast<std::size_t>(index.row())));
    const auto& columns = listColumns(*code_);
    if (static_cast<std::size_t>(index.column()) >= columns.size()) return {};
    const int listed = columns[static_cast<std::size_t>(index.column())].cell;
    std::string_view cell;
    if (listed < 0) {
        const auto number = static_cast<std::size_t>(profileOf(*code_).searchNumberCell);
        if (names_) cell = names_->nameOf(cells.cells[number]);
    } else if (static_cast<std::size_t>(listed) < cells.size) {  // not "telid" of a contact
        cell = cells.cells[static_cast<std::size_t>(listed)];
    }
    return QString::fromUtf8(cell.data(), static_cast<qsizetype>(cell.size()));
}

QVariant ReportListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || !code_) return {};
    const auto& columns = listColumns(*code_);
    if (section < 0 || static_cast<std::size_t>(section) >= columns.size()) return {};
    return QString::fromUtf8(columns[static_cast<std::size_t>(section)].column.heading);
}

Qt::ItemFlags ReportListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == 0) f |= Qt::ItemIsUserCheckable;
    return f;
}

bool ReportListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || index.column() != 0 || !index.isValid()) return false;
    setTicks({index.row()}, value.toInt() == Qt::Checked);
    return true;
}

}  // namespace pc
