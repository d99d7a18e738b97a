#include "header_prefilter.h"

namespace pc {

HeaderPrefilter::HeaderPrefilter(std::span<const TableCarver* const> carvers) {
    for (std::size_t t = 0; t < carvers.size(); ++t) {
        if (t % 64 == 0) {
            groups_.emplace_back();
            groups_.back().first = t;
        }
        Group& g = groups_.back();
        const TableCarver& c = *carvers[t];
        const std::uint64_t bit = std::uint64_t{1} << (t % 64);
        // A row older than columns added may end its header after the fewest columns.
        const std::size_t least = c.leastColumns();
        const std::uint32_t most = c.maxHeaderSize();
        for (unsigned b = 0; b < 256; ++b) {
            if (b < 0x80 ? b >= 1 + least && b <= most : most >= 0x80) g.size[b] |= bit;
            if (b >= 2 + least) g.roomy[b] |= bit;
            for (unsigned k = 0; k < kTypes; ++k) {
                if (k >= least) {
                    g.fits[k][b] |= bit;  // the header has ended: nothing more to look at
                    g.typedFits[k][b] |= bit;
                } else if (b < 0x80) {
                    if (c.allows(k, b)) g.fits[k][b] |= bit;
                    if (c.allows(k, b) && c.ofItsClass(k, b)) g.typedFits[k][b] |= bit;
                } else {
                    // A text or blob of 58 bytes or more.
                    for (const std::uint64_t t : {2 * 0x80 + 12, 2 * 0x80 + 13}) {
                        if (c.allows(k, t)) g.longer[k][b] |= bit;
                        if (c.allows(k, t) && c.ofItsClass(k, t)) g.typedLonger[k][b] |= bit;
                    }
                }
            }
        }
    }
}

}  // namespace pc
