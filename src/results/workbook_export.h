// The run's rows as one Excel workbook (.xlsx), written by libxlsxwriter: a sheet per category
// (further sheets where one passes a sheet's 1,048,576 rows), the list's Chinese headings, dates
// as date cells, every other cell as text (numbers keep their leading zeros and "+"), the state
// column, deleted rows filled, and where each row was found. Rows are streamed, not held.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "result_store.h"
#include "text_export.h"

namespace pc {

// The workbook's file name in an export folder.
inline constexpr const char* kWorkbookName = "PhoneCarve.xlsx";

// Rows of one sheet, its heading row aside.
inline constexpr std::uint32_t kSheetRows = 1048575;

// Writes the categories of the queue (the rows chosen, or all) to `path`; returns what it wrote.
// Throws ExportError naming the file when it cannot be written. A category goes on to a further
// sheet after `sheetRows` rows.
WrittenFile writeWorkbook(const std::string& path, const ExportRequest& request,
                          const ResultStore& store, const std::function<void()>& pump = {},
                          std::uint32_t sheetRows = kSheetRows);

}  // namespace pc
