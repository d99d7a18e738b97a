// Places where a record of one of several tables may begin, judged for all of them at once by the
// first bytes of a header: its size, then the serial types of its first columns, each byte
// looked up in a table that names the tables it fits. A place only goes on to a table's full test
// when its first bytes fit that table, so searching bytes no structure vouches for costs a few
// look-ups a byte however many tables there are.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <span>
#include <vector>

#include "table_carver.h"

namespace pc {

class HeaderPrefilter {
  public:
    // Tables by their place in `carvers`.
    explicit HeaderPrefilter(std::span<const TableCarver* const> carvers);

    // Calls found(pos, table) for each place of [begin, end) of `bytes` where a record of
    // `table` may begin, among the tables `wanted` says (wanted[t]).
    template <typename Found>
    void search(std::span<const std::uint8_t> bytes, std::uint32_t begin, std::uint32_t end,
                const std::vector<bool>& wanted, Found found) const;

  private:
    static constexpr unsigned kTypes = 4;  // serial types looked at after the header's size
    // Sixty-four tables a group, one bit each.
    struct Group {
        std::size_t first = 0;  // the table of bit 0
        std::array<std::uint64_t, 256> size{};
        std::array<std::array<std::uint64_t, 256>, kTypes> fits{};
        // A longer varint begins here, which the table allows: its later bytes are not looked at.
        std::array<std::array<std::uint64_t, 256>, kTypes> longer{};
    };
    static std::uint64_t candidates(const Group& g, const std::uint8_t* p, std::uint32_t room);
    std::vector<Group> groups_;
};

inline std::uint64_t HeaderPrefilter::candidates(const Group& g, const std::uint8_t* p,
                                                 std::uint32_t room) {
    const std::uint8_t size = p[0];
    std::uint64_t open = g.size[size];
    if (open == 0) return 0;
    // A header size of several bytes belongs to a table of many columns: passed on whole.
    if (size >= 0x80) return open;
    std::uint64_t passed = 0;
    for (unsigned k = 0; k < kTypes && k + 1 < room && open != 0; ++k) {
        const std::uint8_t v = p[k + 1];
        passed |= open & g.longer[k][v];
        open &= g.fits[k][v];
    }
    return open | passed;
}

template <typename Found>
void HeaderPrefilter::search(std::span<const std::uint8_t> bytes, std::uint32_t begin,
                             std::uint32_t end, const std::vector<bool>& wanted,
                             Found found) const {
    end = std::min<std::uint32_t>(end, static_cast<std::uint32_t>(bytes.size()));
    for (const Group& g : groups_) {
        std::uint64_t wantedBits = 0;
        for (std::size_t t = g.first; t < wanted.size() && t < g.first + 64; ++t)
            if (wanted[t]) wantedBits |= std::uint64_t{1} << (t - g.first);
        if (wantedBits == 0) continue;
        // The hot loop of a search of bytes without structure: a look-up or two a byte.
        for (std::uint32_t pos = begin; pos + 1 < end; ++pos) {
            std::uint64_t m = candidates(g, bytes.data() + pos, end - pos) & wantedBits;
            while (m != 0) {
                found(pos, g.first + static_cast<std::size_t>(std::countr_zero(m)));
                m &= m - 1;
            }
        }
    }
}

}  // namespace pc
