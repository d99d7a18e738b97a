#include "sms_scanner.h"

#include "MyFuns_.h"

namespace pc {

namespace {

// `deleted`: a column some vendors' builds add, 1 where their app deleted a message it keeps.
enum Wanted { kAddress, kDate, kType, kBody, kDeleted };

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

CarveStep SmsScanner::examine(const CarvedRecord& record, Wanted wanted) {
    using Kind = FieldNumber::Kind;
    const bool live = record.state() == RecordState::Normal;
    const auto [type, date, when, dateInRange] =
        typeAndDate(record, wanted[kType], wanted[kDate], kFirstYear, kLastYear);
    if (!live) {
        if (type.kind == Kind::Missing) return CarveStep::NextByte;
        // A type or date that is not a number passes its check; the sms table declares both as
        // required integers, so the carver only hands over numbers for them.
        if (type.kind == Kind::Number && type.value > kMaxType) return CarveStep::NextByte;
        if (date.kind == Kind::Number && !dateInRange) return CarveStep::NextByte;
    }
    // A live row's date outside the years a phone can have is shown as its number.
    FieldBuffer addressBuffer, dateBuffer, bodyBuffer;
    const NullCells nulls = static_cast<NullCells>((record.isNull(wanted[kAddress]) ? 1 : 0) |
                                                   (record.isNull(wanted[kDate]) ? 2 : 0) |
                                                   (record.isNull(wanted[kBody]) ? 16 : 0));
    Provenance found = provenance(record);
    // 0: the table has no such column.
    if (live && wanted[kDeleted] != 0) {
        const FieldNumber marked = record.number(wanted[kDeleted]);
        found.markedDeleted = marked.kind == Kind::Number && marked.value != 0;
    }
    keep(record,
         PSMSvalue{record.field(wanted[kAddress], addressBuffer),
                   dateInRange ? displayTime(date.value, when, dateBuffer)
                               : record.field(wanted[kDate], dateBuffer),
                   smsTypeText(type.kind == Kind::Number ? type.value : 0),
                   record.field(wanted[kBody], bodyBuffer),
                   found.markedDeleted ? RecordState::Deleted : record.state(), found, nulls});
    return CarveStep::NextByte;
}

}  // namespace pc
