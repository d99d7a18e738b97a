#include "text_index.h"

#include "utf8_check.h"

namespace pc {

void TextIndex::build(std::span<const std::uint8_t> bytes) {
    base_ = bytes.data();
    size_ = static_cast<std::uint32_t>(bytes.size());
    bad_.assign(size_ + 1, 0);
    odd_.assign(size_ + 1, 0);
    insideBits_.assign(size_ / 64 + 1, 0);
    // UTF-8 synchronises on its own: every byte that is no continuation byte starts a sequence,
    // so one pass from the start decodes every stretch that begins at such a byte.
    std::uint32_t bad = 0, odd = 0;
    for (std::uint32_t at = 0; at < size_;) {
        const std::uint8_t b = bytes[at];
        const std::size_t length = utf8SequenceAt(bytes.data() + at, size_ - at);
        const bool control = b < 0x20 && b != '\t' && b != '\n' && b != '\r';
        const bool replacement =
            length == 3 && b == 0xEF && bytes[at + 1] == 0xBF && bytes[at + 2] == 0xBD;
        bad_[at] = bad;
        odd_[at] = odd;
        odd += control || replacement ? 1 : 0;
        if (length == 0) {
            ++bad;
            ++at;
            continue;
        }
        for (std::uint32_t k = 1; k < length; ++k) {
            const std::uint32_t in = at + k;
            insideBits_[in >> 6] |= std::uint64_t{1} << (in & 63);
            bad_[in] = bad;
            odd_[in] = odd;
        }
        at += static_cast<std::uint32_t>(length);
    }
    bad_[size_] = bad;
    odd_[size_] = odd;
}

}  // namespace pc
