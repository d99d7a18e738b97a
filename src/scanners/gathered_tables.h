// The rows of a few named tables of one database, live and deleted, as the carve of every table
// finds them: what the stores whose messages join several tables are made from.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "scan_events.h"
#include "table_recovery.h"

namespace pc {

struct GatheredRow {
    RecordState state;
    SourceFile source;
    std::uint64_t offset;
    std::optional<std::int64_t> rowid;
    std::vector<FieldValue> values;  // in the table's declared order
};

class GatheredTable {
  public:
    explicit GatheredTable(TableShape shape);
    const TableShape& shape() const { return shape_; }
    std::vector<GatheredRow>& rows() { return rows_; }
    const std::vector<GatheredRow>& rows() const { return rows_; }

    // The place of a column by its name (any case); -1 when this file's table has none.
    int column(std::string_view name) const;
    // A value as a number: an integer, or a text that is one (SQLite allows text in an INTEGER
    // column); nothing otherwise or without the column.
    std::optional<std::int64_t> number(const GatheredRow& row, int column) const;
    // A text value; a number as its digits; "" for NULL, a blob or no column.
    std::string text(const GatheredRow& row, int column) const;
    // The row's id: its INTEGER PRIMARY KEY, or its row id where the cell still says it.
    std::optional<std::int64_t> id(const GatheredRow& row) const;

  private:
    TableShape shape_;
    std::vector<std::string> lowerNames_;  // the columns' names, lower-cased once
    std::vector<GatheredRow> rows_;
};

// Carves the database at `path` and keeps the rows of `tables` (of the first table of each name:
// the schema's, else a dropped one's). Progress and notes go on to `events`; stops when `halted`.
class TableGatherer : public CarveEvents {
  public:
    TableGatherer(std::vector<std::string> tables, WalkEvents& events);
    CarveResult gather(const std::string& path, const RecoveryOptions& options,
                       const std::uint8_t& halted);
    // The table of that name; nullptr when the file has none.
    const GatheredTable* table(std::string_view name) const;

    void tableFound(std::size_t index, const TableShape& table) override;
    void rowFound(const RecoveredRowView& row) override;
    void noted(const SourceNote& note) override { events_.noted(note); }
    void progressRange(std::uint32_t maximum, std::uint32_t stepBytes) override {
        events_.progressRange(maximum, stepBytes);
    }
    void pageReached(std::uint32_t index) override { events_.pageReached(index); }
    void idle() override { events_.idle(); }

  private:
    std::vector<std::string> wanted_;
    WalkEvents& events_;
    std::vector<GatheredTable> tables_;
    std::vector<int> byIndex_;  // the carve's table index -> tables_, -1 for one not kept
};

}  // namespace pc
