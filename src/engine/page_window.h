// Pages of the newest state read a run at a time into a buffer of the window's own: the pages
// that follow the one asked for, when pages are read in rising order, else the runs of
// consecutive pages the reader says it will read next; a run is pages whose bytes follow one
// another in one file (main-file pages, or log frames written in page order). Where every newly
// touched page of a mapping costs a fault and a page-table walk, and a page's cells miss the
// cache once per pass, a pass over a file this way pays one copy of each page into a buffer that
// stays in the cache instead.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "database_pages.h"

namespace pc {

class PageWindow {
  public:
    // `runPages`: pages read at once at most (0: a megabyte of them). `following`: whether a page
    // asked for outside the buffer is read with the pages after it, or only with the run
    // expect() names.
    explicit PageWindow(const DatabasePages& pages, bool following, std::uint32_t runPages = 0);

    // Pages a walk is about to read: each run of numbers among `pages` at most four apart is read
    // whole, the pages between included, when its first page is asked for. Replaces what an
    // earlier call said.
    void expect(std::span<const std::uint32_t> pages);

    struct View {
        std::span<const std::uint8_t> page;    // empty: no file holds the page's bytes
        std::span<const std::uint8_t> buffer;  // the bytes around it, for reads past the page
    };
    // Page `number` as DatabasePages::page gives it. The view lasts until the next call.
    View page(std::uint32_t number);
    // The page image at `offset` of file `source` (an older image), read with the bytes after
    // it when it is not in the buffer: older images are met in the order of their offsets.
    View at(SourceFile source, std::uint64_t offset);

    // Reads of the files so far: how well the runs served.
    std::uint64_t reads() const { return reads_; }

  private:
    static constexpr std::uint32_t kRunBytes = 1u << 20;
    // How many pages from `number` on to read with it: at most `wanted`, while each lies one
    // stride further on in the same file.
    std::uint32_t runFrom(std::uint32_t number, std::uint32_t wanted, std::uint64_t& stride) const;
    std::uint32_t expectedRun(std::uint32_t number) const;
    // The page at `offset` of `source`, the buffer refilled from there with `length` bytes (as
    // far as the file goes) when it does not hold the page.
    View bytesAt(SourceFile source, std::uint64_t offset, std::uint64_t length);

    const DatabasePages* pages_;
    std::uint32_t runPages_;
    bool following_;
    std::vector<std::uint32_t> expected_;  // sorted
    // Bytes [begin, begin + bytes.size()) of one file. The main file's pages and the log's or
    // journal's have a buffer each, so that pages of the two taking turns do not evict each
    // other's runs.
    struct Buffer {
        SourceFile source = SourceFile::Main;
        std::uint64_t begin = 0;
        std::vector<std::uint8_t> bytes;
        bool holds(SourceFile s, std::uint64_t offset, std::uint32_t size) const {
            return s == source && offset >= begin && offset - begin + size <= bytes.size();
        }
    };
    Buffer& bufferFor(SourceFile source) { return buffers_[source == SourceFile::Main ? 0 : 1]; }
    Buffer buffers_[2];
    std::uint64_t reads_ = 0;
};

}  // namespace pc
