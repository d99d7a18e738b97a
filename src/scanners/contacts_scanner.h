// Contacts of an Android contacts2.db: a name row and a phone row of table `data` with the same
// raw contact make one contact; a live phone row whose raw contact has no name row is a contact
// with an empty name. Rows are carved first and joined afterwards.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "category_scanner.h"

namespace pc {

// One row of `data`, live or carved.
struct PAlltelvalue {
    std::int32_t mimetypeId;
    std::int32_t rawContactId;
    std::string data1;
    std::uint8_t deleted;
    Provenance found;
    bool data1Null;
};

// Pairs every phone row with a name row of its raw contact, in the order found, and calls `each`
// with the name row (nullptr when the raw contact has none) and the phone row. The name is the
// first live name row of the raw contact, or its first deleted one when it has no live one: an
// old name left in the file never stands for the name the contact has now.
// Linear: the name rows are indexed by raw contact id.
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
    void readExtras(TSQLiteDatabase& db) override;
    bool extrasUsable() const override { return nameMimeId_ != 0 && phoneMimeId_ != 0; }
    void beginScan() override;
    CarveStep examine(const CarvedRecord& record, Wanted wanted) override;
    void afterCarve() override;

  private:
    CarveStep keepDataRow(const CarvedRecord& record, std::uint32_t data1Column,
                          std::int32_t mimeId, std::int32_t rawId);

    std::vector<PAlltelvalue> rows_;
    std::int64_t nameMimeId_ = 0;
    std::int64_t phoneMimeId_ = 0;
    std::int64_t maxMimeId_ = 11;
};

}  // namespace pc
