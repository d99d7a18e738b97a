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

namespace {

// A cell as the sort compares it: its GB18030 bytes with a to z folded to A to Z, so that Chinese
// text falls in GBK order.
void sortKeyOf(std::string_view cell, std::string& key) {
    key.clear();
    appendGb18030(key, cell);
    for (char& c : key)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
}

std::uint64_t bigEndianPrefix(std::string_view bytes) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < 8; ++i)
        v = (v << 8) | (i < bytes.size() ? static_cast<std::uint8_t>(bytes[i]) : 0);
    return v;
}

}  // namespace

void ReportListModel::sortRows(int column, bool ascending) {
    if (!code_ || rows_.empty()) return;
    flushQueuedRows();
    const auto cell = static_cast<std::size_t>(column);
    if (column < 0 || cell >= store_.rowCells(*code_, rows_[0]).size) return;  // "telid"
    // The keys are made once per sort: each row's first 16 key bytes, compared as two numbers;
    // only rows whose first 16 bytes tie have their whole keys made again.
    struct Keyed {
        std::uint64_t hi, lo;
        std::uint32_t length, position;
    };
    std::vector<Keyed> keyed(rows_.size());
    std::string key;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        sortKeyOf(store_.rowCells(*code_, rows_[i]).cells[cell], key);
        const std::string_view k(key);
        keyed[i] = {bigEndianPrefix(k), bigEndianPrefix(k.size() > 8 ? k.substr(8) : ""),
                    static_cast<std::uint32_t>(k.size()), static_cast<std::uint32_t>(i)};
    }
    std::string a, b;
    auto order = [&](const Keyed& x, const Keyed& y) {
        if (x.hi != y.hi) return x.hi < y.hi ? -1 : 1;
        if (x.lo != y.lo) return x.lo < y.lo ? -1 : 1;
        if (x.length <= 16 && y.length <= 16) return x.length < y.length ? -1 : x.length > y.length;
        sortKeyOf(store_.rowCells(*code_, rows_[x.position]).cells[cell], a);
        sortKeyOf(store_.rowCells(*code_, rows_[y.position]).cells[cell], b);
        return a.compare(b);  // char_traits<char> compares bytes unsigned
    };
    // Rows that compare equal keep the order they had, whichever the direction.
    std::sort(keyed.begin(), keyed.end(), [&](const Keyed& x, const Keyed& y) {
        const int o = order(x, y);
        if (o != 0) return ascending ? o < 0 : o > 0;
        return x.position < y.position;
    });
    std::vector<std::uint32_t> rows(rows_.size());
    std::vector<bool> ticks(rows_.size());
    for (std::size_t i = 0; i < keyed.size(); ++i) {
        rows[i] = rows_[keyed[i].position];
        ticks[i] = ticks_[keyed[i].position];
    }
    beginResetModel();
    rows_ = std::move(rows);
    ticks_ = std::move(ticks);
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
