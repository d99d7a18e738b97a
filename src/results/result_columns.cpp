#include "result_columns.h"

namespace pc {

const std::vector<ResultColumn>& ResultColumns(CategoryCode code) {
    static const std::vector<ResultColumn> contacts{
        {"姓名", 150}, {"电话", 120}, {"状态", 50}, {"telid", 50}};
    static const std::vector<ResultColumn> sms{
        {"电话", 150}, {"日期", 120}, {"类型", 50}, {"状态", 50}, {"信息", 350}};
    static const std::vector<ResultColumn> calls{{"电话", 150}, {"姓名", 100},
                                                 {"日期", 120}, {"通话时长(秒)", 120},
                                                 {"类型", 50},  {"状态", 50}};
    switch (code) {
        case CategoryCode::Contacts: return contacts;
        case CategoryCode::Sms: return sms;
        case CategoryCode::CallLog: break;
    }
    return calls;
}

}  // namespace pc
