// Long texts (message bodies) kept compressed in blocks of 32 KB, for a window holding millions
// of rows: a block is compressed when it fills, and read back through a few blocks kept open.
// A view of a text lasts until kOpenBlocks other blocks have been opened after its own on the same
// thread, so readers hold views only briefly (one row, a pair being compared, a batch being
// written). Each thread reads through blocks of its own: several may read at once (the window
// paints while a sort runs), while no one writes.
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

    struct Open {
        std::uint32_t block = UINT32_MAX;
        std::unique_ptr<char[]> bytes;
    };
    // The blocks a thread has open of one TextBlocks.
    struct OpenBlocks {
        std::uint64_t owner = 0;
        std::uint64_t generation = 0;
        std::array<Open, kOpenBlocks> open;
        std::size_t next = 0;
    };

  private:
    struct Packed {
        const char* bytes;
        std::uint32_t size;    // compressed
        std::uint32_t length;  // of the texts it holds
    };
    // Compresses the block being filled and keeps its bytes open as its decompressed copy.
    void seal();
    Open& slotFor(std::uint32_t block) const;
    // This thread's open blocks of this TextBlocks.
    OpenBlocks& openHere() const;

    TextPool pool_;               // the compressed blocks
    std::vector<Packed> packed_;  // each sealed block
    std::unique_ptr<char[]> filling_;
    std::uint32_t filled_ = 0;
    std::uint64_t id_;              // tells this TextBlocks' open blocks apart on a thread
    std::uint64_t generation_ = 0;  // a thread's open blocks of an earlier one are stale
    std::vector<char> scratch_;     // the compressor's output before it goes into the pool
    std::uint64_t keptBytes_ = 0, compressedBytes_ = 0;
};

}  // namespace pc
