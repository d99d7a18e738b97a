// A cell's whole payload: its bytes in the page, then its overflow chain's.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <unordered_set>
#include <vector>

#include "btree_page.h"
#include "database_pages.h"

namespace pc {

// Overflow pages a pass may still follow. Every page of a sound file is followed about once per
// pass; a damaged one whose cells share or loop chains runs out instead of taking quadratic time.
struct OverflowBudget {
    std::uint64_t pages;
    explicit OverflowBudget(const DatabasePages& db)
        : pages(4 * std::uint64_t{db.pageCount()} + 64) {}
};

// The payload of `cell` of `page`. An all-local payload is a view of the page; one with overflow
// pages is gathered into `scratch`, following only pages `accept(page, index)` allows. A chain that
// leaves the file or the allowed pages, or runs out of budget, ends the payload early: the result
// is then shorter than cell.payloadSize.
template <typename Accept>
std::span<const std::uint8_t> readPayload(const DatabasePages& pages,
                                          std::span<const std::uint8_t> page, const BtreeCell& cell,
                                          std::vector<std::uint8_t>& scratch,
                                          OverflowBudget& budget, Accept accept);

// Follows an overflow chain from `first` for `wanted` bytes, appending them to `out` when it is
// given; calls `visit(page, bytesUsed)` for each page it takes. Ends at a page outside the file,
// one `accept(page, index)` refuses (index: its place in the chain, from 0), a page the chain
// already took, and when the budget is spent.
template <typename Accept, typename Visit>
void followOverflow(const DatabasePages& pages, std::uint32_t first, std::uint64_t wanted,
                    std::vector<std::uint8_t>* out, OverflowBudget& budget, Accept accept,
                    Visit visit) {
    const std::uint32_t perPage = pages.usableSize() - 4;
    std::uint32_t next = first;
    // Chains are short: a few pages are compared in a row, a long chain goes into a set.
    std::vector<std::uint32_t> taken;
    std::unordered_set<std::uint32_t> takenSet;
    for (std::uint32_t index = 0; wanted > 0 && budget.pages > 0; ++index) {
        if (!pages.contains(next) || !accept(next, index)) return;
        if (taken.size() < 16) {
            if (std::find(taken.begin(), taken.end(), next) != taken.end()) return;
            taken.push_back(next);
            if (taken.size() == 16) takenSet.insert(taken.begin(), taken.end());
        } else if (!takenSet.insert(next).second) {
            return;
        }
        --budget.pages;
        const auto bytes = pages.page(next);
        if (bytes.size() < pages.usableSize()) return;  // a page no file holds
        const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(wanted, perPage));
        if (out) out->insert(out->end(), bytes.begin() + 4, bytes.begin() + 4 + n);
        visit(next, n + 4);
        wanted -= n;
        next = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
               (std::uint32_t{bytes[2]} << 8) | bytes[3];
    }
}

template <typename Accept>
std::span<const std::uint8_t> readPayload(const DatabasePages& pages,
                                          std::span<const std::uint8_t> page, const BtreeCell& cell,
                                          std::vector<std::uint8_t>& scratch,
                                          OverflowBudget& budget, Accept accept) {
    const auto local = page.subspan(cell.payloadStart, cell.localSize);
    if (cell.overflowPage == 0 || cell.localSize >= cell.payloadSize) return local;
    scratch.assign(local.begin(), local.end());
    followOverflow(pages, cell.overflowPage, cell.payloadSize - cell.localSize, &scratch, budget,
                   accept, [](std::uint32_t, std::uint32_t) {});
    return scratch;
}

}  // namespace pc
