// The report list's column layout of each category: headings and widths in pixels.
#pragma once

#include <vector>

#include "result_types.h"

namespace pc {

struct ResultColumn {
    const char* heading;
    int width;
};

const std::vector<ResultColumn>& ResultColumns(CategoryCode code);

// A column of the report list: one of the row's cells, or (cell -1) the name the run's contacts
// give the row's number.
struct ListColumn {
    ResultColumn column;
    int cell;
};

// The report list's columns: the category's, and for messages "联系人" beside the number.
const std::vector<ListColumn>& listColumns(CategoryCode code);

}  // namespace pc
