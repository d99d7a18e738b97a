// What a page's bytes say of the UTF-8 texts they may hold, worked out once for the page so that
// any stretch of it is judged at once: whether it is well-formed UTF-8 (strictly, as isValidUtf8
// judges) and whether it holds bytes no person's text holds (control bytes other than TAB, LF
// and CR, or the replacement character). A carve asks this of every candidate's texts, and
// candidates overlap: reading each text anew would cost the square of a page's size.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace pc {

class TextIndex {
  public:
    // The index of `bytes`, worked out as far as it is asked about: a page whose texts no
    // candidate asks about costs nothing, and bytes read with a page in case a record runs on
    // past its end cost little more.
    void reset(std::span<const std::uint8_t> bytes) {
        bytes_ = bytes;
        decoded_ = 0;
        cleared_ = false;
    }

    const std::uint8_t* base() const { return bytes_.data(); }
    // Whether [begin, end) of the bytes is well-formed UTF-8.
    bool valid(std::uint32_t begin, std::uint32_t end) const {
        if (begin == end) return true;
        decodeTo(end);
        return !has(inside_, begin) && !has(inside_, end) && !any(bad_, begin, end);
    }
    // Whether [begin, end), well-formed, holds no control byte and no replacement character.
    bool plain(std::uint32_t begin, std::uint32_t end) const {
        decodeTo(end);
        return !any(odd_, begin, end);
    }

  private:
    using Bits = std::vector<std::uint64_t>;
    // Decodes the bytes until what is known of place `at` is.
    void decodeTo(std::uint32_t at) const {
        if (decoded_ <= at) decodeFurther(at);
    }
    void decodeFurther(std::uint32_t at) const;
    static bool has(const Bits& bits, std::uint32_t at) {
        return at / 64 < bits.size() && (bits[at / 64] >> (at % 64)) & 1;
    }
    // Whether a bit of [begin, end) is set.
    static bool any(const Bits& bits, std::uint32_t begin, std::uint32_t end);

    std::span<const std::uint8_t> bytes_;
    mutable std::uint32_t decoded_ = 0;  // where the next sequence starts
    mutable bool cleared_ = false;
    // A bit a byte: within a well-formed sequence of several bytes, after its first; of no
    // well-formed sequence; a control byte or the start of a replacement character.
    mutable Bits inside_, bad_, odd_;
};

}  // namespace pc
