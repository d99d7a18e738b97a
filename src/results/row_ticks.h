// The ticks of a list's rows, by the index of the row in its store: sorting, searching and moving
// between nodes keep them.
#pragma once

#include <cstdint>
#include <vector>

namespace pc {

class RowTicks {
  public:
    void clear() { bits_.clear(); }
    void set(std::uint32_t row, bool ticked) {
        if (row >= bits_.size()) {
            if (!ticked) return;
            bits_.resize(row + 1, false);
        }
        bits_[row] = ticked;
    }
    bool at(std::uint32_t row) const { return row < bits_.size() && bits_[row]; }
    // The rows ticked, in store order.
    std::vector<std::uint32_t> ticked() const {
        std::vector<std::uint32_t> out;
        for (std::uint32_t i = 0; i < bits_.size(); ++i)
            if (bits_[i]) out.push_back(i);
        return out;
    }

  private:
    std::vector<bool> bits_;
};

}  // namespace pc
