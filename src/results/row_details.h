// A row whole, as the detail pane shows it and the copy command copies it.
#pragma once

#include <cstdint>
#include <string>

#include "contact_names.h"
#include "copied_rows.h"
#include "recovered_row_store.h"
#include "result_store.h"

namespace pc {

// Every field on a line of its own ("电话: 10086"), the contact's name where the contacts of the
// run know the number, where the row was found (`file`, and the offset in it), and the message
// text last, whole, with its line breaks.
std::string rowDetails(const ResultStore& store, CategoryCode code, std::uint32_t index,
                       const ContactNames* names, const std::string& file);

// A carved table's row (`index` of `store`, found in `file`): each column on a line of its own,
// its state, where it was found, and why a live row found only by its page's bytes is live.
std::string tableRowDetails(const RecoveredRowStore& store, std::uint32_t index,
                            const std::string& file);

// The rows' cells for the clipboard: TAB text and an HTML table.
CopiedRows copiedRows(const ResultStore& store, CategoryCode code,
                      const std::vector<std::uint32_t>& rows);

}  // namespace pc
