#include "call_log_scanner.h"

#include "MyFuns_.h"
#include "SQLiteTable3.h"

namespace pc {

namespace {

enum Wanted { kNumber, kName, kDate, kDuration, kType, kLogType };

// logs.logtype of a call: voice, video, internet (other codes are messages and the like).
bool isCallLogType(std::int64_t logType) {
    return logType == 100 || logType == 500 || logType == 800;
}

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

const SignatureParams& samsungLogsTable() {
    static const SignatureParams logs = [] {
        SignatureParams p = profileOf(CategoryCode::CallLog).signature;
        p.table = "logs";
        p.wanted.push_back("logtype");
        return p;
    }();
    return logs;
}

const SignatureParams* CallLogScanner::chooseTable(TSQLiteDatabase& db) {
    const bool logs = !db.HasTable("calls") && db.HasTable("logs");
    return logs ? &samsungLogsTable() : nullptr;
}

CarveStep CallLogScanner::examine(const CarvedRecord& record, Wanted wanted) {
    using Kind = FieldNumber::Kind;
    const bool live = record.state() == RecordState::Normal;
    if (wanted.size() > kLogType) {
        const FieldNumber logType = record.number(wanted[kLogType]);
        if (logType.kind != Kind::Number || !isCallLogType(logType.value))
            return logType.kind == Kind::Other && !live ? CarveStep::SkipHeader
                                                        : CarveStep::NextByte;
    }
    const auto [type, date, when, dateInRange] =
        typeAndDate(record, wanted[kType], wanted[kDate], kFirstYear, kLastYear);
    if (!live) {
        if (type.kind == Kind::Missing) return CarveStep::NextByte;
        // Values that are not numbers mean the header was not a call's: go on after it.
        if (type.kind == Kind::Other) return CarveStep::SkipHeader;
        if (type.value > kMaxType) return CarveStep::NextByte;
        if (date.kind != Kind::Number) return CarveStep::SkipHeader;
        if (!dateInRange) return CarveStep::NextByte;
    }
    // A live row's date outside the years a phone can have is shown as its number.
    FieldBuffer nameBuffer, numberBuffer, durationBuffer, dateBuffer;
    const NullCells nulls = static_cast<NullCells>(
        (record.isNull(wanted[kNumber]) ? 1 : 0) | (record.isNull(wanted[kName]) ? 2 : 0) |
        (record.isNull(wanted[kDate]) ? 4 : 0) | (record.isNull(wanted[kDuration]) ? 8 : 0));
    keep(record, PCallValue{record.field(wanted[kName], nameBuffer),
                            record.field(wanted[kNumber], numberBuffer),
                            callTypeText(type.kind == Kind::Number ? type.value : 0),
                            record.field(wanted[kDuration], durationBuffer),
                            dateInRange ? displayTime(date.value, when, dateBuffer)
                                        : record.field(wanted[kDate], dateBuffer),
                            record.state(), provenance(record), nulls});
    return CarveStep::NextByte;
}

}  // namespace pc
