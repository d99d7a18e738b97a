#include "call_log_scanner.h"

#include "MyFuns_.h"

namespace pc {

namespace {

enum Wanted { kNumber, kName, kDate, kDuration, kType };

constexpr std::int64_t kMaxType = 144;
constexpr std::int64_t kFirstYear = 2000;
constexpr std::int64_t kLastYear = 2099;

}  // namespace

const char* callTypeText(std::int64_t type) {
    switch (type) {
        case 1: return "呼入";
        case 2: return "呼出";
        case 3: return "未接通";
        default: return "其它";
    }
}

const CategoryScanner::Texts& CallLogScanner::texts() const {
    static const Texts t{"通话记录", "没有找到通话记录，扫描结束！",
                         "没有找到通话记录，扫描结束！"};
    return t;
}

const SignatureParams& CallLogScanner::params() const {
    static const SignatureParams p{"calls",
                                   SignatureParams::Tail::Keep,
                                   [](std::string_view item, std::string_view name) {
                                       bool required =
                                           item.find("default") != std::string_view::npos;
                                       if (item.find("default null") != std::string_view::npos)
                                           required = false;
                                       return required || name == "date" || name == "type";
                                   },
                                   {"number", "name", "date", "duration", "type"}};
    return p;
}

CarveStep CallLogScanner::examine(const CarvedRecord& record) {
    FieldBuffer typeBuffer, dateBuffer;
    const std::string_view typeText = record.field(wanted(kType), typeBuffer);
    if (typeText.empty() || typeText == "NULL") return CarveStep::NextByte;
    // Values that are not numbers mean the header was not a call's: go on after it.
    const auto type = parseDecimalInt64(typeText);
    if (!type) return CarveStep::SkipHeader;
    if (*type > kMaxType) return CarveStep::NextByte;
    const auto date = parseDecimalInt64(record.field(wanted(kDate), dateBuffer));
    if (!date) return CarveStep::SkipHeader;
    const std::int64_t year = JavaTimeYear(*date);
    if (year > kLastYear || year < kFirstYear) return CarveStep::NextByte;

    FieldBuffer nameBuffer, numberBuffer, durationBuffer, shownDate;
    keep(PCallValue{record.field(wanted(kName), nameBuffer),
                    record.field(wanted(kNumber), numberBuffer), callTypeText(*type),
                    record.field(wanted(kDuration), durationBuffer),
                    formatJavaTime(*date, shownDate), record.state(), record.position()});
    return CarveStep::NextByte;
}

}  // namespace pc
