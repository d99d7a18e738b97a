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

}  // namespace pc
