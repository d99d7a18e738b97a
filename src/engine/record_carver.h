// Finds a table's records in raw pages by the shape of their headers, live and deleted alike.
// Every byte position after the first page is a candidate: it fits when the bytes there are the
// serial types of columns 1..N-1 as the signature allows them (column 0, the integer primary
// key, is stored as NULL before it). A record is normal when it starts 1 to 11 bytes after a cell
// listed by a table-leaf page, deleted otherwise.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "column_signature.h"
#include "database_image.h"
#include "record_state.h"

namespace pc {

enum class CarveStep { NextByte, SkipHeader };

// A set of the integer serial types 0..9, one bit each.
using SerialTypeSet = std::uint16_t;
constexpr SerialTypeSet serialTypeSet(std::initializer_list<unsigned> types) {
    SerialTypeSet set = 0;
    for (unsigned t : types)
        set = static_cast<SerialTypeSet>(set | (1u << t));
    return set;
}

class CarvedRecord {
  public:
    std::uint64_t position() const { return pos_; }  // image offset of column 1's serial type
    std::uint32_t headerLength() const { return headerLength_; }
    RecordState state() const { return state_; }
    // The field text of a column; column 0 (the primary key) and unknown columns give "".
    std::string text(std::uint32_t column) const;

  private:
    friend class RecordCarver;
    const DatabaseImage* image_ = nullptr;
    const std::vector<std::uint64_t>* serialTypes_ = nullptr;
    const std::vector<std::uint64_t>* bodyOffsets_ = nullptr;
    std::uint64_t pos_ = 0;
    std::uint32_t headerLength_ = 0;
    RecordState state_ = RecordState::Normal;
};

class CarveVisitor {
  public:
    virtual ~CarveVisitor() = default;
    // Before page `pageIndex` (1..pageCount-1) is scanned; false stops the carve.
    virtual bool onPage(std::uint32_t pageIndex) = 0;
    virtual CarveStep onRecord(const CarvedRecord& record) = 0;
};

class RecordCarver {
  public:
    // `refusedRequiredInt`: serial types that a required integer column may not hold.
    RecordCarver(const ColumnSignature& signature, SerialTypeSet refusedRequiredInt);

    void carve(const DatabaseImage& image, CarveVisitor& visitor);

  private:
    enum class Rule : std::uint8_t { IntRequired, IntOptional, Text, Untyped };

    // Header length of a candidate at `pos`, with the serial types filled in; 0 when it does not
    // fit.
    std::uint32_t fitHeader(std::span<const std::uint8_t> bytes, std::uint64_t pos,
                            std::uint32_t pageSize);
    bool placeBody(std::uint64_t bodyStart, std::uint64_t imageSize);
    void loadCellStarts(std::span<const std::uint8_t> page);
    RecordState stateAt(std::uint32_t offsetInPage) const;

    std::vector<Rule> rules_;               // columns 1..N-1
    std::array<bool, 10> intAllowed_[2]{};  // [required]: serial types an integer column takes
    std::array<bool, 256> firstByteMayFit_{};
    std::vector<std::uint64_t> serialTypes_;
    std::vector<std::uint64_t> bodyOffsets_;
    std::vector<std::uint16_t> cellStarts_;  // sorted
};

}  // namespace pc
