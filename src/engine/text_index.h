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
    // Replaces what the index holds with what `bytes` say.
    void build(std::span<const std::uint8_t> bytes);

    const std::uint8_t* base() const { return base_; }
    // Whether [begin, end) of the bytes is well-formed UTF-8.
    bool valid(std::uint32_t begin, std::uint32_t end) const {
        if (begin == end) return true;
        return !inside(begin) && !inside(end) && bad_[end] == bad_[begin];
    }
    // Whether [begin, end), well-formed, holds no control byte and no replacement character.
    bool plain(std::uint32_t begin, std::uint32_t end) const { return odd_[end] == odd_[begin]; }

  private:
    // Whether `at` lies within a well-formed sequence of several bytes, after its first.
    bool inside(std::uint32_t at) const {
        return at < size_ && (insideBits_[at >> 6] >> (at & 63)) & 1;
    }
    const std::uint8_t* base_ = nullptr;
    std::uint32_t size_ = 0;
    std::vector<std::uint32_t> bad_;  // bytes of no well-formed sequence before each place
    std::vector<std::uint32_t> odd_;  // control bytes and replacement characters begun before
    std::vector<std::uint64_t> insideBits_;
};

}  // namespace pc
