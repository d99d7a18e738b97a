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
    using Kind = FieldNumber::Kind;
    const FieldNumber type = record.number(wanted(kType));
    if (type.kind == Kind::Missing) return CarveStep::NextByte;
    // Values that are not numbers mean the header was not a call's: go on after it.
    if (type.kind == Kind::Other) return CarveStep::SkipHeader;
    if (type.value > kMaxType) return CarveStep::NextByte;
    const FieldNumber date = record.number(wanted(kDate));
    if (date.kind != Kind::Number) return CarveStep::SkipHeader;
    const JavaDateTime when = javaDateTime(date.value);
    if (when.year > kLastYear || when.year < kFirstYear) return CarveStep::NextByte;

    FieldBuffer nameBuffer, numberBuffer, durationBuffer, dateBuffer;
    keep(PCallValue{record.field(wanted(kName), nameBuffer),
                    record.field(wanted(kNumber), numberBuffer), callTypeText(type.value),
                    record.field(wanted(kDuration), durationBuffer),
                    formatJavaTime(when, dateBuffer), record.state(), record.position()});
    return CarveStep::NextByte;
}

}  // namespace pc
