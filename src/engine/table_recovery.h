// Every table of any SQLite database: its live rows read from its b-tree, its deleted rows found in
// every byte no live cell holds (free space and freeblocks of pages, pages on the free list, older
// page images in the -wal and -journal), each record given to one table only. Tables whose schema
// entry was itself deleted are found among sqlite_master's deleted records. Rows leave as they are
// found: the carve keeps the live rows' keys, never the rows.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "field_value.h"
#include "record_state.h"
#include "source_file.h"
#include "table_shape.h"
#include "walk_events.h"

namespace pc {

// One row as it is found; its values view bytes that last only during the call that hands it over.
struct RecoveredRowView {
    std::size_t table;  // the index the table was announced with
    RecordState state;
    SourceFile source;
    std::uint64_t offset;  // of the record's cell (or header, where the cell start is gone)
    std::optional<std::int64_t> rowid;
    std::span<const ValueView> values;  // one per column of the table, in declared order
    // A live row of a table leaf no structure reaches (its pointers altered) and no free list
    // holds: normal, but found only by its page's own bytes.
    bool unreached = false;
};

class CarveEvents : public WalkEvents {
  public:
    // Table `index`, announced before any of its rows: the schema's tables first, in schema
    // order, then each dropped table when its schema entry is found.
    virtual void tableFound(std::size_t index, const TableShape& table) = 0;
    // Live rows first, each table's in b-tree order; then deleted rows in the order of the pages
    // and images they were found in.
    virtual void rowFound(const RecoveredRowView& row) = 0;
    // A virtual table of the schema (CREATE VIRTUAL TABLE), before any table is announced.
    virtual void virtualTableFound(const std::string& /*name*/, const std::string& /*sql*/) {}
};

struct RecoveryOptions {
    // List every copy of a row (a live row's stale copies, a deleted row's repeats).
    bool allCopies = false;
    // List the shadow tables of virtual tables (FTS, R*Tree) too, their rows raw.
    bool allTables = false;
};

struct CarveResult {
    bool stopped = false;  // `halted` was set before the end
};

class NotADatabase : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Carves every table of the database at `path`, telling `events` what it finds; stops before the
// next page once `halted` is non-zero. Throws NotADatabase when the file has no SQLite 3 header,
// FileError when it cannot be read.
CarveResult carveTables(const std::string& path, CarveEvents& events,
                        const RecoveryOptions& options, const std::uint8_t& halted);

// Every row at once, for callers that want them all in memory (tests, small files).
struct RecoveredRow {
    std::size_t table;
    RecordState state;
    SourceFile source;
    std::uint64_t offset;
    std::optional<std::int64_t> rowid;
    std::vector<FieldValue> values;  // one per column of the table
    bool unreached = false;
};

struct Recovery {
    std::vector<TableShape> tables;  // the schema's tables in schema order, then dropped ones
    std::vector<RecoveredRow> rows;  // in the order found
};

Recovery recoverTables(const std::string& path, const RecoveryOptions& options = {});

}  // namespace pc
