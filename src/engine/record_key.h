// A record's identity by the values of some of its columns, for telling copies of one row apart
// from other rows. 128 bits: two rows that differ share a key with a chance far below that of a
// faulty memory bit, so keys stand in for the values without keeping them.
#pragma once

#include <compare>
#include <cstdint>
#include <span>
#include <vector>

#include "carved_record.h"
#include "field_value.h"
#include "large_array_allocator.h"

namespace pc {

struct RecordKey {
    std::uint64_t a = 0, b = 0;
    auto operator<=>(const RecordKey&) const = default;
};

// A set of keys in one flat table, at most three quarters full: a million live rows' keys take
// 21 MB and a look-up one or two cache misses. Fresh memory is dear where the machine backs it
// only when first touched, so the table is no larger than that.
class RecordKeySet {
  public:
    // True when `key` was not in the set yet.
    bool insert(const RecordKey& key);
    bool contains(const RecordKey& key) const;
    // Asks for the slot where `key` would be looked up to be fetched into the cache, so that a
    // look-up a little later does not wait for it.
    void prefetch(const RecordKey& key) const {
        if (!slots_.empty()) __builtin_prefetch(&slots_[home(key)]);
    }
    // Adds many keys at once: sized once, and the slots of keys ahead fetched while one goes in,
    // so that a million keys do not wait on a million cache misses one after another.
    void insertAll(std::span<const RecordKey> keys);
    // Makes room for `count` keys in all, so that they go in without the table growing.
    void reserve(std::size_t count);
    std::size_t size() const { return size_; }

  private:
    // Where a key's probe starts: its first half, stirred so that keys alike in their high bits
    // spread too, scaled to the table (which need not be a power of two, so that it fits the
    // count it was sized for).
    std::size_t home(const RecordKey& key) const {
        const unsigned __int128 stirred = key.a * 0x9E3779B97F4A7C15ull;
        return static_cast<std::size_t>((stirred * slots_.size()) >> 64);
    }
    void rehash(std::size_t slots);
    ZeroedArray<RecordKey> slots_;  // {0, 0} marks an empty slot
    bool hasZero_ = false;          // the key {0, 0} itself, kept apart
    std::size_t size_ = 0;
};

// Keys gathered before their number is known, in blocks that are never copied as more come: a
// growing array would copy them and take fresh memory of twice their size.
class RecordKeyList {
  public:
    void push_back(const RecordKey& key) {
        if (used_ == kBlockKeys || blocks_.empty()) {
            blocks_.emplace_back(kBlockKeys);
            used_ = 0;
        }
        blocks_.back()[used_++] = key;
    }
    std::size_t size() const {
        return blocks_.empty() ? 0 : (blocks_.size() - 1) * kBlockKeys + used_;
    }
    // Every key, block by block, in the order given; each block is given back to the system once
    // it was seen, so that what the keys go into grows as they go: the list is empty after.
    template <typename F>
    void drainBlocks(F f) {
        for (std::size_t i = 0; i < blocks_.size(); ++i) {
            f(std::span<const RecordKey>(&blocks_[i][0],
                                         i + 1 == blocks_.size() ? used_ : kBlockKeys));
            blocks_[i] = {};
        }
        blocks_.clear();
        used_ = 0;
    }

  private:
    static constexpr std::size_t kBlockKeys = large_array::kHugePage / sizeof(RecordKey);
    std::vector<ZeroedArray<RecordKey>> blocks_;
    std::size_t used_ = 0;
};

// The key of the values of `columns` of `record` (column 0 stands for a column the table lacks).
// Equal values give equal keys whatever their storage: an integer is one whatever its width.
RecordKey recordKey(const CarvedRecord& record, std::span<const std::uint32_t> columns);

// The key of a row of table `table` by its values, column `without` (if any) taken as NULL:
// equal values give equal keys.
RecordKey valuesKey(std::uint64_t table, std::span<const ValueView> values, int without = -1);

// A key of its own for `key` together with one number more (a row id): equal pairs, equal keys.
RecordKey extendedKey(const RecordKey& key, std::uint64_t number);

}  // namespace pc
