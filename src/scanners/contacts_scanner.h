// Contacts of an Android contacts2.db: a name row and a phone row of table `data` with the same
// raw contact make one contact. Rows are carved first and joined afterwards.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "category_scanner.h"

namespace pc {

// One carved row of `data`.
struct PAlltelvalue {
    std::int32_t mimetypeId;
    std::int32_t rawContactId;
    std::string data1;
    std::uint8_t deleted;
    std::uint64_t offset;
};

// Pairs every phone row with the first name row of its raw contact, in the order carved, and
// calls `each` with the name row (nullptr when the raw contact has none) and the phone row.
// Linear: the first name rows are indexed by raw contact id.
void joinContactRows(
    const std::vector<PAlltelvalue>& rows, std::int64_t nameMimeId, std::int64_t phoneMimeId,
    const std::function<void(const PAlltelvalue* name, const PAlltelvalue& phone)>& each);

class ContactsScanner final : public CategoryScanner {
  public:
    const std::vector<PAlltelvalue>& ContactDataRows() const { return rows_; }
    std::int64_t nameMimeId() const { return nameMimeId_; }
    std::int64_t phoneMimeId() const { return phoneMimeId_; }

  protected:
    CategoryCode code() const override { return CategoryCode::Contacts; }
    const Texts& texts() const override;
    const SignatureParams& params() const override;
    SerialTypeSet refusedRequiredInt() const override { return serialTypeSet({0, 7}); }
    void readExtras(TSQLiteDatabase& db) override;
    bool extrasUsable() const override { return nameMimeId_ != 0 && phoneMimeId_ != 0; }
    void beginScan() override;
    CarveStep examine(const CarvedRecord& record) override;
    void afterCarve() override;

  private:
    std::vector<PAlltelvalue> rows_;
    std::int64_t nameMimeId_ = 0;
    std::int64_t phoneMimeId_ = 0;
    std::int64_t maxMimeId_ = 11;
};

}  // namespace pc
