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
    // `table` may begin, among the tables `wanted` says (wanted[t]); its bytes may run on to
    // `limit`. A table `typedOnly` says (typedOnly[t]) needs every value of its column's class.
    template <typename Found>
    void search(std::span<const std::uint8_t> bytes, std::uint32_t begin, std::uint32_t end,
                std::uint32_t limit, const std::vector<bool>& wanted,
                const std::vector<bool>& typedOnly, Found found) const;

  private:
    static constexpr unsigned kTypes = 6;  // serial types looked at after the header's size
    // Sixty-four tables a group, one bit each.
    struct Group {
        std::size_t first = 0;  // the table of bit 0
        std::array<std::uint64_t, 256> size{};
        std::array<std::uint64_t, 256> roomy{};  // header sizes with room for a longer type
        // A type the column allows, and one of its class: `fits` of one byte; `longer`, a longer
        // varint begins here.
        std::array<std::array<std::uint64_t, 256>, kTypes> fits{}, typedFits{};
        std::array<std::array<std::uint64_t, 256>, kTypes> longer{}, typedLonger{};
    };
    // `loose`: the tables that need not have every value of its column's class.
    static std::uint64_t candidates(const Group& g, const std::uint8_t* p, std::uint32_t room,
                                    std::uint64_t loose);
    std::vector<Group> groups_;
};

inline std::uint64_t HeaderPrefilter::candidates(const Group& g, const std::uint8_t* p,
                                                 std::uint32_t room, std::uint64_t loose) {
    const std::uint8_t size = p[0];
    std::uint64_t open = g.size[size];
    if (open == 0) return 0;
    // A header size of several bytes belongs to a table of many columns: passed on whole.
    if (size >= 0x80) return open;
    // Tables whose types so far took one byte each (`open`), or one type two bytes (`shifted`):
    // a longer type (a text or blob of 58 bytes or more) moves a table from the one to the other
    // when its header has room for it; one more, or a longer one, passes it on untested.
    std::uint64_t shifted = 0, passed = 0;
    const std::uint64_t roomy = g.roomy[size];
    for (unsigned k = 0; k < kTypes && k + 2 < room && (open | shifted) != 0; ++k) {
        const std::uint8_t v1 = p[k + 2];
        passed |= shifted & g.longer[k][v1] & (loose | g.typedLonger[k][v1]);
        shifted &= g.fits[k][v1] & (loose | g.typedFits[k][v1]);
        const std::uint8_t v = p[k + 1];
        const std::uint64_t longer = open & g.longer[k][v] & (loose | g.typedLonger[k][v]) & roomy;
        open &= g.fits[k][v] & (loose | g.typedFits[k][v]);
        shifted |= v1 < 0x80 ? longer : 0;
        passed |= v1 < 0x80 ? 0 : longer;
    }
    return open | shifted | passed;
}

template <typename Found>
void HeaderPrefilter::search(std::span<const std::uint8_t> bytes, std::uint32_t begin,
                             std::uint32_t end, std::uint32_t limit,
                             const std::vector<bool>& wanted, const std::vector<bool>& typedOnly,
                             Found found) const {
    limit = std::min<std::uint32_t>(limit, static_cast<std::uint32_t>(bytes.size()));
    end = std::min(end, limit);
    for (const Group& g : groups_) {
        std::uint64_t wantedBits = 0, loose = ~std::uint64_t{0};
        for (std::size_t t = g.first; t < wanted.size() && t < g.first + 64; ++t) {
            if (wanted[t]) wantedBits |= std::uint64_t{1} << (t - g.first);
            if (t < typedOnly.size() && typedOnly[t]) loose &= ~(std::uint64_t{1} << (t - g.first));
        }
        if (wantedBits == 0) continue;
        // The hot loop of a search of bytes without structure: a look-up or two a byte.
        for (std::uint32_t pos = begin; pos < end && pos + 1 < limit; ++pos) {
            std::uint64_t m = candidates(g, bytes.data() + pos, limit - pos, loose) & wantedBits;
            while (m != 0) {
                found(pos, g.first + static_cast<std::size_t>(std::countr_zero(m)));
                m &= m - 1;
            }
        }
    }
}

}  // namespace pc
