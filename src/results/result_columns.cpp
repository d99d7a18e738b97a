#include "result_columns.h"

#include "category_profile.h"

namespace pc {

const std::vector<ResultColumn>& ResultColumns(CategoryCode code) {
    return profileOf(code).columns;
}

namespace {

std::vector<ListColumn> listColumnsOf(CategoryCode code) {
    const CategoryProfile& p = profileOf(code);
    std::vector<ListColumn> out;
    for (std::size_t i = 0; i < p.columns.size(); ++i) {
        out.push_back({p.columns[i], static_cast<int>(i)});
        if (static_cast<int>(i) == p.listNameAfter) out.push_back({{"联系人", 100}, -1});
    }
    return out;
}

}  // namespace

const std::vector<ListColumn>& listColumns(CategoryCode code) {
    static const PerCategory<std::vector<ListColumn>> all = [] {
        PerCategory<std::vector<ListColumn>> made;
        for (CategoryCode c : kAllCategories)
            made[index(c)] = listColumnsOf(c);
        return made;
    }();
    return all[index(code)];
}

}  // namespace pc
