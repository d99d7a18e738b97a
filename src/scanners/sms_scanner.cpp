#include "sms_scanner.h"

#include "MyFuns_.h"

namespace pc {

namespace {

enum Wanted { kAddress, kDate, kType, kBody };

constexpr std::int64_t kMaxType = 9;
constexpr std::int64_t kFirstYear = 1979;
constexpr std::int64_t kLastYear = 2099;

}  // namespace

const char* smsTypeText(std::int64_t type) {
    switch (type) {
        case 1: return "接收";
        case 2: return "发送";
        case 3: return "草稿";
        default: return "其它";
    }
}

const CategoryScanner::Texts& SmsScanner::texts() const {
    static const Texts t{"短信", "没有找短信记录，扫描结束！", "没有找到短信记录，扫描结束！"};
    return t;
}

const SignatureParams& SmsScanner::params() const {
    static const SignatureParams p{"sms",
                                   SignatureParams::Tail::AppendBlank,
                                   [](std::string_view item, std::string_view name) {
                                       return item.find("default") != std::string_view::npos ||
                                              name == "type" || name == "date";
                                   },
                                   {"address", "date", "type", "body"}};
    return p;
}

CarveStep SmsScanner::examine(const CarvedRecord& record) {
    FieldBuffer typeBuffer, dateBuffer, shownDate;
    const std::string_view typeText = record.field(wanted(kType), typeBuffer);
    if (typeText.empty() || typeText == "NULL") return CarveStep::NextByte;
    // A type or date that is not a number passes its check; the sms table declares both as
    // required integers, so the carver only hands over numbers for them.
    const auto type = parseDecimalInt64(typeText);
    if (type && *type > kMaxType) return CarveStep::NextByte;
    const std::string_view dateText = record.field(wanted(kDate), dateBuffer);
    const auto date = parseDecimalInt64(dateText);
    if (date) {
        const std::int64_t year = JavaTimeYear(*date);
        if (year > kLastYear || year < kFirstYear) return CarveStep::NextByte;
    }
    FieldBuffer addressBuffer, bodyBuffer;
    keep(PSMSvalue{record.field(wanted(kAddress), addressBuffer),
                   date ? formatJavaTime(*date, shownDate) : dateText,
                   smsTypeText(type.value_or(0)), record.field(wanted(kBody), bodyBuffer),
                   record.state(), record.position()});
    return CarveStep::NextByte;
}

}  // namespace pc
