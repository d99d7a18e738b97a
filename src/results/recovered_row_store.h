// The rows the carve of every table found, kept for the window's "其它表" branch: each table's
// shape, and its rows packed (a row's values views of the store's bytes) with the index of each
// table's rows, normal and deleted.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "packed_rows.h"
#include "result_types.h"
#include "table_recovery.h"

namespace pc {

class RecoveredRowStore {
  public:
    void clear();
    // Table `index`, as the carve announces it, before its rows.
    void addTable(std::size_t index, const TableShape& table);
    void append(const RecoveredRowView& row);

    std::size_t tableCount() const { return tables_.size(); }
    const TableShape& table(std::size_t index) const { return tables_[index]; }
    std::size_t rowCount() const { return places_.size(); }
    // Rows of `table` that `filter` lets through.
    std::int32_t count(std::size_t table, RowFilter filter) const;
    // Their indexes, in the order found.
    std::vector<std::uint32_t> rowsOf(std::size_t table, RowFilter filter) const;
    // Row `index`; its values are held in `values`, viewing the store's bytes.
    RecoveredRowView row(std::uint32_t index, std::vector<ValueView>& values) const {
        return rows_.at(places_[index], values);
    }

  private:
    std::vector<TableShape> tables_;
    PackedRows rows_;
    std::vector<PackedRows::Place> places_;            // by row
    std::vector<bool> deleted_;                        // by row
    std::vector<std::vector<std::uint32_t>> byTable_;  // each table's rows
    std::vector<std::array<std::int32_t, 2>> counts_;  // each table's normal and deleted rows
};

}  // namespace pc
