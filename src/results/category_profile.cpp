#include "category_profile.h"

#include <stdexcept>
#include <string_view>

namespace pc {

namespace {

bool hasDefault(std::string_view item) {
    return item.find("default") != std::string_view::npos;
}

const CategoryProfile kProfiles[] = {
    {CategoryCode::Contacts,
     "contacts",
     "联系人",
     "通讯录",
     "正常通讯录",
     "删除通讯录",
     "没有找到通讯录，扫描结束！",
     "没有找到通讯录，扫描结束！",
     "电话本.txt",
     {"data",
      SignatureParams::Tail::DropOneMore,
      [](std::string_view item, std::string_view) { return hasDefault(item); },
      {"raw_contact_id", "mimetype_id", "data1"}},
     serialTypeSet({0, 7}),
     {"name", "phone", "state"},
     {{"姓名", 150}, {"电话", 120}, {"状态", 50}, {"telid", 50}},
     {0, 1, -1},
     {0, 1},
     -1,
     -1,
     1,
     0,
     -1},
    {CategoryCode::Sms,
     "sms",
     "短信",
     "短信",
     "正常短信",
     "删除短信",
     "没有找短信记录，扫描结束！",
     "没有找到短信记录，扫描结束！",
     "短信.txt",
     {"sms",
      SignatureParams::Tail::AppendBlank,
      [](std::string_view item, std::string_view name) {
          return hasDefault(item) || name == "type" || name == "date";
      },
      {"address", "date", "type", "body"}},
     serialTypeSet({0, 6, 7}),
     {"address", "date", "type", "state", "body"},
     {{"电话", 150}, {"日期", 120}, {"类型", 50}, {"状态", 50}, {"信息", 350}},
     {0, 1, 2, -1, 3},
     {0, 4},
     1,
     0,
     0,
     4,
     3},
    {CategoryCode::CallLog,
     "calls",
     "通话记录",
     "通话记录",
     "正常通话记录",
     "删除通话记录",
     "没有找到通话记录，扫描结束！",
     "没有找到通话记录，扫描结束！",
     "通话记录.txt",
     {"calls",
      SignatureParams::Tail::Keep,
      [](std::string_view item, std::string_view name) {
          // A "default null" is no default.
          const bool required =
              hasDefault(item) && item.find("default null") == std::string_view::npos;
          return required || name == "date" || name == "type";
      },
      {"number", "name", "date", "duration", "type"}},
     serialTypeSet({0, 6, 7}),
     {"number", "name", "date", "duration", "type", "state"},
     {{"电话", 150},
      {"姓名", 100},
      {"日期", 120},
      {"通话时长(秒)", 120},
      {"类型", 50},
      {"状态", 50}},
     {0, 1, 4, 3, 2, -1},
     {0, 1},
     2,
     0,
     0,
     1,
     -1},
};

}  // namespace

const CategoryProfile& profileOf(CategoryCode code) {
    const auto i = static_cast<std::size_t>(code);
    if (i >= std::size(kProfiles) || kProfiles[i].code != code) throw std::out_of_range("category");
    return kProfiles[i];
}

}  // namespace pc
