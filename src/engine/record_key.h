// A record's identity by the values of some of its columns, for telling copies of one row apart
// from other rows. 128 bits: two rows that differ share a key with a chance far below that of a
// faulty memory bit, so keys stand in for the values without keeping them.
#pragma once

#include <compare>
#include <cstdint>
#include <span>
#include <vector>

#include "carved_record.h"
#include "large_array_allocator.h"

namespace pc {

struct RecordKey {
    std::uint64_t a = 0, b = 0;
    auto operator<=>(const RecordKey&) const = default;
};

struct RecordKeyHash {
    std::size_t operator()(const RecordKey& k) const { return static_cast<std::size_t>(k.a); }
};

// A set of keys in one flat table: a million live rows' keys take 32 MB and a look-up one or two
// cache misses.
class RecordKeySet {
  public:
    // True when `key` was not in the set yet.
    bool insert(const RecordKey& key);
    bool contains(const RecordKey& key) const;
    // Adds many keys at once: sized once, and the slots of keys ahead fetched while one goes in,
    // so that a million keys do not wait on a million cache misses one after another.
    void insertAll(std::span<const RecordKey> keys);
    // Makes room for `count` keys in all, so that they go in without the table growing.
    void reserve(std::size_t count);
    std::size_t size() const { return size_; }

  private:
    void grow();
    void rehash(std::size_t slots);
    std::vector<RecordKey, LargeArrayAllocator<RecordKey>> slots_;  // {0, 0} marks an empty slot
    bool hasZero_ = false;  // the key {0, 0} itself, kept apart
    std::size_t size_ = 0;
};

// The key of the values of `columns` of `record` (column 0 stands for a column the table lacks).
// Equal values give equal keys whatever their storage: an integer is one whatever its width.
RecordKey recordKey(const CarvedRecord& record, std::span<const std::uint32_t> columns);

}  // namespace pc
