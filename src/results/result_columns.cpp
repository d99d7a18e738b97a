#include "result_columns.h"

#include "category_profile.h"

namespace pc {

const std::vector<ResultColumn>& ResultColumns(CategoryCode code) {
    return profileOf(code).columns;
}

}  // namespace pc
