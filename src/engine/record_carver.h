// Finds a table's records in unused space by the shape of their headers. Every byte position of
// a range the caller hands over is a candidate: it fits when the bytes there are the serial types
// of columns 1..N-1 as the signature allows them (column 0, the integer primary key, is stored as
// NULL before it) and the record those types describe fits its page as SQLite would have placed
// it. Whether a record is live is not the carver's business: the page layer knows.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "carved_record.h"
#include "column_signature.h"

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

// Where a carved record's payload would go on: the part of it in the page and its first
// overflow page. A record whose payload is all in its page has no overflow page.
struct CarvedOverflow {
    std::uint64_t payloadStart = 0;  // offset in the carved bytes of the record header
    std::uint64_t payloadSize = 0;
    std::uint32_t localSize = 0;
    std::uint32_t firstPage = 0;  // 0: none
};

class CarveVisitor {
  public:
    virtual ~CarveVisitor() = default;
    // A record that fits, with its body offsets into the carved bytes and where its payload would
    // go on. The record and the overflow live only during this call.
    virtual CarveStep onRecord(const CarvedRecord& record, const CarvedOverflow& overflow) = 0;
};

// One page to carve: its bytes are buffer[pageStart, pageStart + pageSize), of which `usable` may
// hold records; reads past the page for the first test stay inside `buffer`.
struct CarvePage {
    std::span<const std::uint8_t> buffer;
    std::uint64_t pageStart;
    std::uint32_t pageSize;
    std::uint32_t usable;
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

    // Tests every position of [begin, end) of the page and hands each record that fits to the
    // visitor, in the order of their positions.
    void carveRange(const CarvePage& page, std::uint32_t begin, std::uint32_t end,
                    CarveVisitor& visitor);

  private:
    // What a header byte means for one column.
    enum ByteClass : std::uint8_t {
        kReject = 0,
        kSingle = 1,  // a one-byte serial type that fits
        kVarint = 2,  // the first byte of a longer varint: the column decides after reading it
    };
    enum class Rule : std::uint8_t { Integer, Text, Untyped };

    // Header length of a candidate at `pos`, with the serial types filled in; 0 when it does not
    // fit. `limit` is the end of the page.
    std::uint32_t fitHeader(const std::uint8_t* data, std::uint64_t pos, std::uint64_t limit);
    // Places the bodies of a fitting header as SQLite would have laid the cell out in the page;
    // false when the record could not lie there.
    bool placeRecord(const CarvePage& page, std::uint64_t pos, std::uint32_t headerLength);
    // Bit i set: a record may start at at + i (i < 16). `room`: bytes readable from `at`.
    std::uint32_t startMask(const std::uint8_t* at, std::uint64_t room) const;
    // The same for 32 positions, on processors with AVX2.
    std::uint32_t startMask32(const std::uint8_t* at, std::uint64_t room) const;
    void carveSse2(const CarvePage& page, std::uint64_t begin, std::uint64_t end,
                   CarveVisitor& visitor);
    void carveAvx2(const CarvePage& page, std::uint64_t begin, std::uint64_t end,
                   CarveVisitor& visitor);
    template <unsigned Block, typename Mask>
    void carveBlocks(const CarvePage& page, std::uint64_t begin, std::uint64_t end,
                     CarveVisitor& visitor, Mask mask);

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
    RecordLayout layout_;
    CarvedOverflow overflow_;
};

}  // namespace pc
