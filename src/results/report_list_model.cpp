#include "report_list_model.h"

#include <algorithm>

#include "result_columns.h"
#include "text_codec.h"

namespace pc {

ReportListModel::ReportListModel(const ResultStore& store, QObject* parent)
    : QAbstractTableModel(parent), store_(store) {
}

void ReportListModel::setColumns(CategoryCode code) {
    beginResetModel();
    code_ = code;
    rows_.clear();
    queued_.clear();
    ticks_.clear();
    followsScan_ = true;
    endResetModel();
}

void ReportListModel::clearRows() {
    beginResetModel();
    rows_.clear();
    queued_.clear();
    ticks_.clear();
    followsScan_ = true;
    endResetModel();
}

void ReportListModel::queueRow(CategoryCode code, std::uint32_t index) {
    if (followsScan_ && code_ == code) queued_.push_back(index);
}

void ReportListModel::flushQueuedRows() {
    if (queued_.empty()) return;
    const int first = static_cast<int>(rows_.size());
    beginInsertRows({}, first, first + static_cast<int>(queued_.size()) - 1);
    rows_.insert(rows_.end(), queued_.begin(), queued_.end());
    ticks_.resize(rows_.size(), false);
    queued_.clear();
    endInsertRows();
}

void ReportListModel::showNode(CategoryTag tag) {
    beginResetModel();
    code_ = tag.code;
    rows_ = store_.rowsMatching(tag);
    ticks_.assign(rows_.size(), false);
    queued_.clear();
    followsScan_ = false;
    endResetModel();
}

void ReportListModel::sortRows(int column, bool ascending) {
    if (!code_ || rows_.empty()) return;
    flushQueuedRows();
    // The sort keys: each row's cell as GB18030 bytes with a to z folded to A to Z.
    struct Keyed {
        std::optional<std::string> key;
        std::uint32_t row;
        bool tick;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(rows_.size());
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const RowCells cells = store_.rowCells(*code_, rows_[i]);
        std::optional<std::string> key;
        if (column >= 0 && static_cast<std::size_t>(column) < cells.size) {
            key = utf8ToGb18030(cells.cells[static_cast<std::size_t>(column)]);
            for (char& c : *key)
                if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        }
        keyed.push_back({std::move(key), rows_[i], ticks_[i]});
    }
    std::stable_sort(keyed.begin(), keyed.end(), [ascending](const Keyed& a, const Keyed& b) {
        if (!a.key || !b.key) return false;
        const int order = a.key->compare(*b.key);  // char_traits<char> compares bytes unsigned
        return ascending ? order < 0 : order > 0;
    });
    beginResetModel();
    for (std::size_t i = 0; i < keyed.size(); ++i) {
        rows_[i] = keyed[i].row;
        ticks_[i] = keyed[i].tick;
    }
    endResetModel();
}

void ReportListModel::setAllTicks(bool ticked) {
    std::fill(ticks_.begin(), ticks_.end(), ticked);
}

void ReportListModel::setTicks(const std::vector<int>& rows, bool ticked) {
    for (int r : rows)
        if (r >= 0 && static_cast<std::size_t>(r) < ticks_.size())
            ticks_[static_cast<std::size_t>(r)] = ticked;
}

int ReportListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ReportListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() || !code_ ? 0 : static_cast<int>(ResultColumns(*code_).size());
}

QVariant ReportListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !code_ || !index.isValid()) return {};
    const RowCells cells = store_.rowCells(*code_, rows_.at(static_cast<std::size_t>(index.row())));
    const auto column = static_cast<std::size_t>(index.column());
    if (column >= cells.size) return QString();  // "telid" of a contact
    const std::string_view cell = cells.cells[column];
    return QString::fromUtf8(cell.data(), static_cast<qsizetype>(cell.size()));
}

QVariant ReportListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || !code_) return {};
    const auto& columns = ResultColumns(*code_);
    if (section < 0 || static_cast<std::size_t>(section) >= columns.size()) return {};
    return QString::fromUtf8(columns[static_cast<std::size_t>(section)].heading);
}

}  // namespace pc
