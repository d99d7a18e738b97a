// The window's recover command for the "其它表" branch: the carved tables' rows (all, or those
// chosen) into the chosen folder, a CSV file per table in a folder "其它表", or one "其它表.jsonl".
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "recovered_row_store.h"
#include "row_format.h"
#include "text_export.h"

namespace pc {

// Where the rows go in `folder`: the folder of the CSV files, or the JSON lines file.
std::string tableRowsTarget(OutputFormat format, const std::string& folder);

// Writes them; `chosen` (store rows, in the order found) or every row when null. Each file is put
// in place whole; throws ExportError naming the file that failed.
std::vector<WrittenFile> exportTableRows(const RecoveredRowStore& store,
                                         const std::vector<std::uint32_t>* chosen,
                                         OutputFormat format, const std::string& folder,
                                         const std::function<void()>& pump = {});

}  // namespace pc
