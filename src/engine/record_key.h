// A record's identity by the values of some of its columns, for telling copies of one row apart
// from other rows. 128 bits: two rows that differ share a key with a chance far below that of a
// faulty memory bit, so keys stand in for the values without keeping them.
#pragma once

#include <compare>
#include <cstdint>
#include <span>

#include "carved_record.h"

namespace pc {

struct RecordKey {
    std::uint64_t a = 0, b = 0;
    auto operator<=>(const RecordKey&) const = default;
};

struct RecordKeyHash {
    std::size_t operator()(const RecordKey& k) const { return static_cast<std::size_t>(k.a); }
};

// The key of the values of `columns` of `record` (column 0 stands for a column the table lacks).
// Equal values give equal keys whatever their storage: an integer is one whatever its width.
RecordKey recordKey(const CarvedRecord& record, std::span<const std::uint32_t> columns);

}  // namespace pc
