// The rows of any table as `phonecarve carve` writes them, as they are found: JSON lines, a CSV
// file per table, or one recovered SQLite database with a table per source table. Each writer
// keeps nothing of a row once it is written.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "table_recovery.h"
#include "text_export.h"

namespace pc {

// {"table", "state", "source", "offset", "rowid", "values": {column: value}} a line per row, and
// "dropped": true for a table whose schema entry was deleted. Integers and reals are JSON
// numbers (a real that is no number, null), texts strings, blobs {"hex": "…"}.
void appendRecoveredJson(std::string& out, const TableShape& table, const RecoveredRowView& row);

// A value as a cell shows it: numbers as written in CSV, texts as they are, blobs in hex,
// "NULL" for NULL.
std::string valueText(const ValueView& value);
std::string valueText(const FieldValue& value);

class RecoveredRowsWriter {
  public:
    virtual ~RecoveredRowsWriter() = default;
    // A table, before its rows.
    virtual void table(std::size_t index, const TableShape& table) = 0;
    // Throws ExportError when the row cannot be written.
    virtual void row(const RecoveredRowView& row) = 0;
    // Writes what is left and puts the output in place; throws ExportError.
    virtual void finish() = 0;
    // The files written, once finished.
    virtual std::vector<std::string> written() const = 0;
};

// JSON lines into `out` (standard output, or a file the caller opened), named `name` in errors.
std::unique_ptr<RecoveredRowsWriter> jsonLinesWriter(std::FILE* out, std::string name);

// A CSV file per table with rows in `folder`, named after the table, with a header line;
// `_state`, `_source`, `_offset`, `_rowid` first. Each file is put in place whole at the end.
// `forSpreadsheets`: each file starts with the byte order mark.
std::unique_ptr<RecoveredRowsWriter> csvTablesWriter(std::string folder,
                                                     bool forSpreadsheets = false);

// One SQLite database at `path` (never over an existing file), a table per source table with its
// columns after `_state`, `_source`, `_offset`, `_rowid`, every value as it was typed. Throws
// ExportError when it cannot be created.
std::unique_ptr<RecoveredRowsWriter> sqliteTablesWriter(std::string path);

}  // namespace pc
