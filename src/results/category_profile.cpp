#include "category_profile.h"

#include <stdexcept>
#include <string_view>

namespace pc {

namespace {

bool hasDefault(std::string_view item) {
    return item.find("default") != std::string_view::npos;
}

const CategoryProfile kProfiles[] = {
    {.code = CategoryCode::Contacts,
     .key = "contacts",
     .noun = "联系人",
     .branch = "通讯录",
     .normalNode = "正常通讯录",
     .deletedNode = "删除通讯录",
     .missingTable = "没有找到通讯录，扫描结束！",
     .emptyDefinition = "没有找到通讯录，扫描结束！",
     .exportFile = "电话本.txt",
     .signature = {"data",
                   SignatureParams::Tail::DropOneMore,
                   [](std::string_view item, std::string_view) { return hasDefault(item); },
                   {"raw_contact_id", "mimetype_id", "data1"}},
     .refused = serialTypeSet({0, 7}),
     .fields = {"name", "phone", "state"},
     .columns = {{"姓名", 150}, {"电话", 120}, {"状态", 50}, {"telid", 50}},
     .cellText = {0, 1, -1},
     .searchCells = {0, 1},
     .searchDateCell = -1,
     .searchNumberCell = -1,
     .numberCell = 1,
     .textCell = 0,
     .longText = -1,
     .listNameAfter = -1},
    {.code = CategoryCode::Sms,
     .key = "sms",
     .noun = "短信",
     .branch = "短信",
     .normalNode = "正常短信",
     .deletedNode = "删除短信",
     .missingTable = "没有找短信记录，扫描结束！",
     .emptyDefinition = "没有找到短信记录，扫描结束！",
     .exportFile = "短信.txt",
     .signature = {"sms",
                   SignatureParams::Tail::AppendBlank,
                   [](std::string_view item, std::string_view name) {
                       return hasDefault(item) || name == "type" || name == "date";
                   },
                   {"address", "date", "type", "body", "deleted"}},
     .refused = serialTypeSet({0, 6, 7}),
     .fields = {"address", "date", "type", "state", "body"},
     .columns = {{"电话", 150}, {"日期", 120}, {"类型", 50}, {"状态", 50}, {"信息", 350}},
     .cellText = {0, 1, 2, -1, 3},
     .searchCells = {0, 4},
     .searchDateCell = 1,
     .searchNumberCell = 0,
     .numberCell = 0,
     .textCell = 4,
     .longText = 3,
     .listNameAfter = 0},
    {.code = CategoryCode::CallLog,
     .key = "calls",
     .noun = "通话记录",
     .branch = "通话记录",
     .normalNode = "正常通话记录",
     .deletedNode = "删除通话记录",
     .missingTable = "没有找到通话记录，扫描结束！",
     .emptyDefinition = "没有找到通话记录，扫描结束！",
     .exportFile = "通话记录.txt",
     .signature = {"calls",
                   SignatureParams::Tail::Keep,
                   [](std::string_view item, std::string_view name) {
                       // A "default null" is no default.
                       const bool required =
                           hasDefault(item) && item.find("default null") == std::string_view::npos;
                       return required || name == "date" || name == "type";
                   },
                   {"number", "name", "date", "duration", "type"}},
     .refused = serialTypeSet({0, 6, 7}),
     .fields = {"number", "name", "date", "duration", "type", "state"},
     .columns = {{"电话", 150},
                 {"姓名", 100},
                 {"日期", 120},
                 {"通话时长(秒)", 120},
                 {"类型", 50},
                 {"状态", 50}},
     .cellText = {0, 1, 4, 3, 2, -1},
     .searchCells = {0, 1},
     .searchDateCell = 2,
     .searchNumberCell = 0,
     .numberCell = 0,
     .textCell = 1,
     .longText = -1,
     .listNameAfter = -1},
};

}  // namespace

// One profile a category, in the order of kAllCategories.
static_assert(std::size(kProfiles) == kCategoryCount);

const CategoryProfile& profileOf(CategoryCode code) {
    const auto i = static_cast<std::size_t>(code);
    if (i >= std::size(kProfiles) || kProfiles[i].code != code) throw std::out_of_range("category");
    return kProfiles[i];
}

}  // namespace pc
