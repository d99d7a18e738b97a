// The rows of any table as `phonecarve carve` writes them: JSON lines, a CSV file per table, or
// one recovered SQLite database with a table per source table.
#pragma once

#include <string>

#include "table_recovery.h"
#include "text_export.h"

namespace pc {

// {"table", "state", "source", "offset", "rowid", "values": {column: value}} a line per row, and
// "dropped": true for a table whose schema entry was deleted. Integers and reals are JSON
// numbers (a real that is no number, null), texts strings, blobs {"hex": "…"}.
void appendRecoveredJson(std::string& out, const Recovery& recovery, const RecoveredRow& row);

// A value as a cell shows it: numbers as written in CSV, texts as they are, blobs in hex,
// "NULL" for NULL.
std::string valueText(const FieldValue& value);

// A CSV file per table in `folder`, named after the table, with a header line; `_state`,
// `_source`, `_offset`, `_rowid` first. Throws ExportError. Returns the files written.
std::vector<std::string> writeRecoveredCsv(const Recovery& recovery, const std::string& folder);

// One SQLite database at `path` (never over an existing file), a table per source table with its
// columns after `_state`, `_source`, `_offset`, `_rowid`, every value as it was typed. Throws
// ExportError.
void writeRecoveredDatabase(const Recovery& recovery, const std::string& path);

}  // namespace pc
