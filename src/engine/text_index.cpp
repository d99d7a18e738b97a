#include "text_index.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "utf8_check.h"

namespace pc {

namespace {

void set(std::vector<std::uint64_t>& bits, std::uint32_t at) {
    bits[at / 64] |= std::uint64_t{1} << (at % 64);
}

// Whether any of the eight bytes is not plain ASCII: a high bit, or a byte below 0x20.
bool plainAscii8(std::uint64_t w) {
    constexpr std::uint64_t kHigh = 0x8080808080808080ull;
    const std::uint64_t below = (w - 0x2020202020202020ull) & ~w & kHigh;
    return (w & kHigh) == 0 && below == 0;
}

}  // namespace

bool TextIndex::any(const Bits& bits, std::uint32_t begin, std::uint32_t end) {
    if (begin >= end) return false;
    const std::uint32_t first = begin / 64, last = (end - 1) / 64;
    if (last >= bits.size()) return true;  // beyond the bytes: nothing there vouches
    const std::uint64_t head = ~std::uint64_t{0} << (begin % 64);
    const std::uint64_t tail = ~std::uint64_t{0} >> (63 - (end - 1) % 64);
    if (first == last) return (bits[first] & head & tail) != 0;
    if ((bits[first] & head) != 0 || (bits[last] & tail) != 0) return true;
    for (std::uint32_t i = first + 1; i < last; ++i)
        if (bits[i] != 0) return true;
    return false;
}

void TextIndex::decodeFurther(std::uint32_t until) const {
    const std::uint8_t* p = bytes_.data();
    const auto size = static_cast<std::uint32_t>(bytes_.size());
    if (!cleared_) {
        for (Bits* b : {&inside_, &bad_, &odd_})
            b->assign(size / 64 + 1, 0);
        cleared_ = true;
    }
    // UTF-8 synchronises on its own: every byte that is no continuation byte starts a sequence,
    // so one pass from the start decodes every stretch that begins at such a byte. Runs of plain
    // ASCII, most of a text, are passed eight bytes at a time; the rest a little ahead, in
    // blocks, so that a page is decoded in a few steps.
    const std::uint32_t stop = std::min(size, (until / 256 + 1) * 256);
    std::uint32_t at = decoded_;
    while (at < stop) {
        if (size - at >= 8) {
            std::uint64_t w;
            std::memcpy(&w, p + at, 8);
            if (plainAscii8(w)) {
                at += 8;
                continue;
            }
        }
        const std::uint8_t b = p[at];
        if (b < 0x80) {
            if (b < 0x20 && b != '\t' && b != '\n' && b != '\r') set(odd_, at);
            ++at;
            continue;
        }
        // Chinese text: three-byte characters whose lead leaves the second byte its full range.
        if (b >= 0xE1 && b != 0xED && b <= 0xEF && size - at >= 3 && (p[at + 1] & 0xC0) == 0x80 &&
            (p[at + 2] & 0xC0) == 0x80) {
            if (b == 0xEF && p[at + 1] == 0xBF && p[at + 2] == 0xBD) set(odd_, at);
            set(inside_, at + 1);
            set(inside_, at + 2);
            at += 3;
            continue;
        }
        const std::size_t length = utf8SequenceAt(p + at, size - at);
        if (length == 0) {
            set(bad_, at);
            ++at;
            continue;
        }
        if (length == 3 && b == 0xEF && p[at + 1] == 0xBF && p[at + 2] == 0xBD) set(odd_, at);
        for (std::uint32_t k = 1; k < length; ++k)
            set(inside_, at + k);
        at += static_cast<std::uint32_t>(length);
    }
    decoded_ = std::max(at, until + 1);
}

}  // namespace pc
