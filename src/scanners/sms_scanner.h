// Text messages of an Android mmssms.db, table "sms".
#pragma once

#include "category_scanner.h"

namespace pc {

class SmsScanner final : public CategoryScanner {
  protected:
    CategoryCode code() const override { return CategoryCode::Sms; }
    CarveStep examine(const CarvedRecord& record, Wanted wanted) override;
    // Address, date to the millisecond and type: a message's own, whatever became of its body.
    std::vector<std::size_t> identity() const override { return {0, 1, 2}; }
};

// "接收", "发送", "草稿" for types 1 to 3, "其它" for any other.
const char* smsTypeText(std::int64_t type);

}  // namespace pc
