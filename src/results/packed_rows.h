// Rows of any table packed one after another into blocks of bytes: a row's table, state, source,
// offset and row id, then its values (a kind byte each, then a number or a length and the bytes).
// Blocks never move once written, so a row read back views the packed bytes for as long as the
// rows are kept. What the carve hands on to a thread of its own, and what the window keeps.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "table_recovery.h"

namespace pc {

class PackedRows {
  public:
    // Where a row lies: its block and its offset there.
    using Place = std::uint64_t;

    Place append(const RecoveredRowView& row);
    // The row at `place`; its values, views of the packed bytes, are held in `values`.
    RecoveredRowView at(Place place, std::vector<ValueView>& values) const;
    // Every row, in the order appended.
    template <typename F>
    void forEach(F f) const;

    std::size_t bytes() const { return bytes_; }
    bool empty() const { return bytes_ == 0; }
    void clear();

  private:
    static constexpr std::size_t kBlock = 4u << 20;
    // Reads the row at `at` of `block`; `at` moves past it.
    static RecoveredRowView read(const std::string& block, std::size_t& at,
                                 std::vector<ValueView>& values);
    std::vector<std::string> blocks_;  // each holds at most its reserved bytes: never reallocated
    std::size_t bytes_ = 0;
};

template <typename F>
void PackedRows::forEach(F f) const {
    std::vector<ValueView> values;
    for (const std::string& block : blocks_)
        for (std::size_t at = 0; at < block.size();)
            f(read(block, at, values));
}

}  // namespace pc
