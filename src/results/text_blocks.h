// Long texts (message bodies) kept compressed in blocks of 32 KB, for a window holding millions
// of rows: a block is compressed when it fills, and read back through a few blocks kept open.
// A view of a text lasts until kOpenBlocks other blocks have been opened after its own, so
// readers hold views only briefly (one row, a pair being compared, a batch being written).
// Not for readers on several threads at once.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "text_pool.h"

namespace pc {

class TextBlocks {
  public:
    // Where a text lies: its block and its offset there.
    struct Place {
        std::uint32_t block = 0;
        std::uint32_t offset = 0;
    };
    // Texts longer than this are not taken (kept elsewhere whole).
    static constexpr std::size_t kLongest = 8 << 10;
    static constexpr std::size_t kBlock = 32 << 10;
    static constexpr std::size_t kOpenBlocks = 16;

    TextBlocks();
    ~TextBlocks();
    TextBlocks(const TextBlocks&) = delete;
    TextBlocks& operator=(const TextBlocks&) = delete;

    // `text`: at most kLongest bytes.
    Place keep(std::string_view text);
    std::string_view text(Place at, std::size_t length) const;
    void clear();
    // Bytes of the texts kept, and what the sealed blocks of them take.
    std::uint64_t keptBytes() const { return keptBytes_; }
    std::uint64_t compressedBytes() const { return compressedBytes_; }

  private:
    struct Open {
        std::uint32_t block = UINT32_MAX;
        std::unique_ptr<char[]> bytes;
    };
    struct Packed {
        const char* bytes;
        std::uint32_t size;    // compressed
        std::uint32_t length;  // of the texts it holds
    };
    // Compresses the block being filled and keeps its bytes open as its decompressed copy.
    void seal();
    Open& slotFor(std::uint32_t block) const;

    TextPool pool_;               // the compressed blocks
    std::vector<Packed> packed_;  // each sealed block
    std::unique_ptr<char[]> filling_;
    std::uint32_t filled_ = 0;
    mutable std::array<Open, kOpenBlocks> open_;
    mutable std::size_t nextSlot_ = 0;
    std::vector<char> scratch_;  // the compressor's output before it goes into the pool
    std::uint64_t keptBytes_ = 0, compressedBytes_ = 0;
};

}  // namespace pc
