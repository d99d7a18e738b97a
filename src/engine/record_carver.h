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

#include "MyFuns_.h"
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

// A field as the scanners check it: missing ("NULL" or empty), a decimal integer, or other text.
struct FieldNumber {
    enum class Kind { Missing, Number, Other } kind;
    std::int64_t value;  // for a Number
};

class CarvedRecord {
  public:
    std::uint64_t position() const { return pos_; }  // image offset of column 1's serial type
    std::uint32_t headerLength() const { return headerLength_; }
    RecordState state() const { return state_; }
    // The field text of a column; column 0 (the primary key) and unknown columns give "".
    // A text is a view of the image; a number or "NULL" is placed in `buffer`.
    std::string_view field(std::uint32_t column, FieldBuffer& buffer) const;
    std::string text(std::uint32_t column) const {
        FieldBuffer buffer;
        return std::string(field(column, buffer));
    }
    // What the field's text says as a number, without making the text of an integer first.
    FieldNumber number(std::uint32_t column) const;

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
    // How the first test takes positions: the widest vectors the processor offers, 16 at a time
    // (SSE2), or one by one on the first column alone; the narrower ones are there so that the
    // three can be compared.
    enum class Vectors { Widest, Sse2, None };

    // `refusedRequiredInt`: serial types that a required integer column may not hold.
    RecordCarver(const ColumnSignature& signature, SerialTypeSet refusedRequiredInt,
                 Vectors vectors = Vectors::Widest);

    void carve(const DatabaseImage& image, CarveVisitor& visitor);

  private:
    // What a header byte means for one column.
    enum ByteClass : std::uint8_t {
        kReject = 0,
        kSingle = 1,  // a one-byte serial type that fits
        kVarint = 2,  // the first byte of a longer varint: the column decides after reading it
    };
    enum class Rule : std::uint8_t { Integer, Text, Untyped };

    // Header length of a candidate at `pos`, with the serial types filled in; 0 when it does not
    // fit.
    std::uint32_t fitHeader(std::span<const std::uint8_t> bytes, std::uint64_t pos,
                            std::uint32_t pageSize);
    bool placeBody(std::uint64_t bodyStart, std::uint64_t imageSize);
    // Bit i set: a record may start at at + i (i < 16). `room`: bytes readable from `at`.
    std::uint32_t startMask(const std::uint8_t* at, std::uint64_t room) const;
    // The same for 32 positions, on processors with AVX2.
    std::uint32_t startMask32(const std::uint8_t* at, std::uint64_t room) const;
    void carvePage(const DatabaseImage& image, std::uint64_t pageStart, CarveVisitor& visitor,
                   CarvedRecord& record);
    void carvePageAvx2(const DatabaseImage& image, std::uint64_t pageStart, CarveVisitor& visitor,
                       CarvedRecord& record);
    template <unsigned Block, typename Mask>
    void carveBlocks(const DatabaseImage& image, std::uint64_t pageStart, CarveVisitor& visitor,
                     CarvedRecord& record, Mask mask);
    // Marks the offsets of the page where a record is normal; done for a page only once it has
    // a record to judge.
    void loadCellStarts(std::span<const std::uint8_t> page);
    RecordState stateAt(std::uint32_t offsetInPage) const;

    std::size_t columns_ = 0;              // columns 1..N-1 to test
    std::vector<Rule> rules_;              // per column
    std::vector<std::uint8_t> byteClass_;  // per column, 256 entries each
    // The first columns, each assumed to take one header byte, tested sixteen positions at a time
    // before any position is looked at by itself; a longer varint in a text or untyped column
    // lets its position through to the full test.
    struct PrefixColumn {
        Rule rule;
        std::uint8_t highestLead;   // the highest first byte of a longer varint it may hold
        std::uint8_t refusedCount;  // integer columns: serial types 0..9 they refuse
        std::uint8_t refused[10];
    };
    std::vector<PrefixColumn> prefix_;
    unsigned block_ = 16;  // positions tested at once: 32 with AVX2
    bool vectors_ = true;
    std::vector<std::uint64_t> serialTypes_;
    std::vector<std::uint64_t> bodyOffsets_;
    // Bit o set: a record at offset o of the current page starts 1 to 11 bytes after a listed cell.
    std::vector<std::uint64_t> normalAt_;
};

}  // namespace pc
