// Every table of any SQLite database: its live rows read from its b-tree, its deleted rows found in
// every byte no live cell holds (free space and freeblocks of pages, pages on the free list, older
// page images in the -wal and -journal), each record given to one table only. Tables whose schema
// entry was itself deleted are found among sqlite_master's deleted records.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "field_value.h"
#include "record_state.h"
#include "source_file.h"
#include "table_shape.h"

namespace pc {

struct RecoveredRow {
    std::size_t table;  // in Recovery::tables
    RecordState state;
    SourceFile source;
    std::uint64_t offset;  // of the record's cell (or header, where the cell start is gone)
    std::optional<std::int64_t> rowid;
    std::vector<FieldValue> values;  // one per column of the table
};

struct Recovery {
    std::vector<TableShape> tables;  // the schema's tables in schema order, then dropped ones
    // Live rows first, each table's in b-tree order; then deleted rows in the order of the pages
    // and images they were found in.
    std::vector<RecoveredRow> rows;
};

struct RecoveryOptions {
    // List every copy of a row (a live row's stale copies, a deleted row's repeats).
    bool allCopies = false;
    // Told now and then how many of the pages and page images to read are read.
    std::function<void(std::uint64_t done, std::uint64_t total)> progress;
};

class NotADatabase : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Throws NotADatabase when the file has no SQLite 3 header, FileError when it cannot be read.
Recovery recoverTables(const std::string& path, const RecoveryOptions& options = {});

}  // namespace pc
