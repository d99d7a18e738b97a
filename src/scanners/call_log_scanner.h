// The call log in table `calls`: contacts2.db of Android 6 and older, calllog.db of newer ones;
// and in table `logs` of Samsung's logs.db (phones before Android 7), whose rows that are no
// calls (messages' entries) are left out.
#pragma once

#include "category_scanner.h"

namespace pc {

class CallLogScanner final : public CategoryScanner {
  protected:
    CategoryCode code() const override { return CategoryCode::CallLog; }
    const SignatureParams* chooseTable(TSQLiteDatabase& db) override;
    CarveStep examine(const CarvedRecord& record, Wanted wanted) override;
    // Number, date to the millisecond and type: a call's own, whatever became of its name.
    std::vector<std::size_t> identity() const override { return {0, 2, 4}; }
};

// Samsung's logs.db: its table of calls and messages' entries.
const SignatureParams& samsungLogsTable();

// "呼入", "呼出", "未接通" for types 1 to 3, "其它" for any other.
const char* callTypeText(std::int64_t type);

}  // namespace pc
