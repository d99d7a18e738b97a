#include "recovered_row_store.h"

namespace pc {

void RecoveredRowStore::clear() {
    tables_.clear();
    rows_.clear();
    places_ = {};
    deleted_ = {};
    byTable_.clear();
    counts_.clear();
}

void RecoveredRowStore::addTable(std::size_t index, const TableShape& table) {
    if (tables_.size() <= index) {
        tables_.resize(index + 1);
        byTable_.resize(index + 1);
        counts_.resize(index + 1, {0, 0});
    }
    tables_[index] = table;
}

void RecoveredRowStore::append(const RecoveredRowView& row) {
    const auto index = static_cast<std::uint32_t>(places_.size());
    places_.push_back(rows_.append(row));
    deleted_.push_back(row.state == RecordState::Deleted);
    byTable_[row.table].push_back(index);
    ++counts_[row.table][row.state == RecordState::Deleted ? 1 : 0];
}

std::int32_t RecoveredRowStore::count(std::size_t table, RowFilter filter) const {
    const auto [normal, deleted] = counts_[table];
    return filter == RowFilter::All      ? normal + deleted
           : filter == RowFilter::Normal ? normal
                                         : deleted;
}

std::vector<std::uint32_t> RecoveredRowStore::rowsOf(std::size_t table, RowFilter filter) const {
    if (filter == RowFilter::All) return byTable_[table];
    std::vector<std::uint32_t> out;
    out.reserve(static_cast<std::size_t>(count(table, filter)));
    const bool deleted = filter == RowFilter::Deleted;
    for (const std::uint32_t i : byTable_[table])
        if (deleted_[i] == deleted) out.push_back(i);
    return out;
}

}  // namespace pc
