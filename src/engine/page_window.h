// Pages of the newest state, the main file's read a run at a time into a buffer of the window's
// own: the pages that follow the one asked for when they are read in rising order, else the runs
// of consecutive pages the reader says it will read next. Where every newly touched page of a
// mapping costs a fault and a page-table walk, and a page's cells miss the cache once per pass, a
// pass over a file this way pays one copy of each page into a buffer that stays in the cache
// instead.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "database_pages.h"

namespace pc {

class PageWindow {
  public:
    // `runPages`: main-file pages read at once at most. `following`: whether a page asked for
    // outside the buffer is read with the pages after it, or only with the run expect() names.
    explicit PageWindow(const DatabasePages& pages, bool following, std::uint32_t runPages = 256);

    // Pages a walk is about to read: each run of consecutive numbers among `pages` is read whole
    // when its first page is asked for. Replaces what an earlier call said.
    void expect(std::span<const std::uint32_t> pages);

    struct View {
        std::span<const std::uint8_t> page;    // empty: no file holds the page's bytes
        std::span<const std::uint8_t> buffer;  // the bytes around it, for reads past the page
    };
    // Page `number` as DatabasePages::page gives it. The view lasts until the next call.
    View page(std::uint32_t number);

  private:
    std::uint32_t runLength(std::uint32_t number) const;
    const DatabasePages* pages_;
    std::uint32_t runPages_;
    bool following_;
    std::vector<std::uint32_t> expected_;  // sorted
    std::uint32_t first_ = 0;              // the run in the buffer: pages [first_, first_ + count_)
    std::uint32_t count_ = 0;
    std::vector<std::uint8_t> buffer_;
};

}  // namespace pc
