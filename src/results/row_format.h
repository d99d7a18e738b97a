// Rows as the command line writes them: TAB lines for standard output (TAB, LF, CR and backslash
// inside a field escaped, lines ending in LF), RFC 4180 CSV, or JSON lines. SQL NULL is null in
// JSON and an empty CSV field; TAB lines keep the text "NULL" as the recover command's files do.
// JSON lines and CSV say where each row was found: the file (source) and the offset in it.
#pragma once

#include <cstdint>
#include <string>

#include "result_store.h"

namespace pc {

// SpreadsheetCsv: CSV as spreadsheet programs open it without asking, UTF-8 with a byte order mark
// and Chinese headings; its rows are those of Csv.
enum class OutputFormat { Tsv, Csv, Jsonl, SpreadsheetCsv };

inline bool isCsv(OutputFormat format) {
    return format == OutputFormat::Csv || format == OutputFormat::SpreadsheetCsv;
}

// What starts a UTF-8 file spreadsheet programs are to read as UTF-8.
inline constexpr const char* kUtf8Bom = "\xEF\xBB\xBF";

// Appends one row, its line end included, in UTF-8.
void appendRow(std::string& out, OutputFormat format, const ResultStore& store, CategoryCode code,
               std::uint32_t index);
// The same as a string of its own.
std::string formatRow(OutputFormat format, const ResultStore& store, CategoryCode code,
                      std::uint32_t index);

// A text as a JSON string, quotes included; a field as RFC 4180 has it (quoted when it must be).
void appendJsonString(std::string& out, std::string_view text);
void appendCsvField(std::string& out, std::string_view field);

// The header line of a category's CSV rows (for spreadsheets: the byte order mark, then the
// list's headings); empty for the other formats.
std::string headerLine(OutputFormat format, CategoryCode code);

// "main", "wal", "journal": the file a row was found in.
const char* sourceKey(SourceFile source);

// The file name for a category's rows: the export's name, or the same with .csv or .jsonl.
std::string outputFileName(OutputFormat format, CategoryCode code);

}  // namespace pc
