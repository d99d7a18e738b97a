#include "category_profile.h"

#include <stdexcept>
#include <string_view>

namespace pc {

namespace {

bool hasDefault(std::string_view item) {
    return item.find("default") != std::string_view::npos;
}

// A store whose messages join several tables: the same cells for each (the conversation, who
// wrote it, when, which way, the state, the text). `table` is one only such a store has.
CategoryProfile joinedMessages(CategoryCode code, const char* key, const char* branch,
                               const char* table, const char* exportFile) {
    static const std::string kMissing = "没有找到消息记录，扫描结束！";
    static const std::string kNoMms = "没有找到彩信记录，扫描结束！";
    const std::string& missing = code == CategoryCode::Mms ? kNoMms : kMissing;
    return {.code = code,
            .key = key,
            .noun = branch,
            .branch = branch,
            .normalNode = code == CategoryCode::Mms ? "正常彩信" : "正常消息",
            .deletedNode = code == CategoryCode::Mms ? "删除彩信" : "删除消息",
            .missingTable = missing.c_str(),
            .emptyDefinition = missing.c_str(),
            .exportFile = exportFile,
            .signature = {table,
                          SignatureParams::Tail::Keep,
                          [](std::string_view, std::string_view) { return false; },
                          {}},
            .refused = serialTypeSet({}),
            .fields = {"chat", "sender", "date", "type", "state", "body"},
            .columns = {{code == CategoryCode::Mms ? "电话" : "会话", 150},
                        {"发送者", 120},
                        {"日期", 120},
                        {"类型", 50},
                        {"状态", 50},
                        {"信息", 350}},
            .cellText = {0, 1, 2, 3, -1, 4},
            .searchCells = {0, 5},
            .searchDateCell = 2,
            .searchNumberCell = 0,
            .numberCell = 0,
            .textCell = 5,
            .longText = 4,
            .listNameAfter = -1};
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
    joinedMessages(CategoryCode::Mms, "mms", "彩信", "pdu", "彩信.txt"),
    joinedMessages(CategoryCode::GoogleMessages, "google_messages", "Google 信息",
                   "conversation_participants", "Google信息.txt"),
    joinedMessages(CategoryCode::WhatsApp, "whatsapp", "WhatsApp", "message", "WhatsApp.txt"),
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
