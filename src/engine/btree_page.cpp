#include "btree_page.h"

#include <algorithm>

#include "MyFuns_.h"
#include "byte_order.h"

namespace pc {

std::optional<BtreePage> parseBtreePage(std::span<const std::uint8_t> page,
                                        std::uint32_t headerOffset, std::uint32_t usable) {
    using namespace format;
    if (page.size() < usable || headerOffset + kInteriorHeaderSize > usable) return std::nullopt;
    const std::uint8_t type = page[headerOffset];
    if (type != kIndexInterior && type != kTableInterior && type != kIndexLeaf &&
        type != kTableLeaf)
        return std::nullopt;
    BtreePage p{static_cast<BtreeKind>(type), headerOffset,
                *readBe16(page, headerOffset + kFirstFreeblockOffset),
                *readBe16(page, headerOffset + kCellCountOffset), 0};
    if (!p.leaf()) p.rightChild = *readBe32(page, headerOffset + kRightChildOffset);
    if (p.pointersEnd() > usable) return std::nullopt;
    return p;
}

std::uint32_t localPayloadSize(std::uint64_t payload, std::uint32_t usable, bool tableLeaf) {
    const std::uint32_t maxLocal = tableLeaf ? usable - 35 : (usable - 12) * 64 / 255 - 23;
    if (payload <= maxLocal) return static_cast<std::uint32_t>(payload);
    const std::uint32_t minLocal = (usable - 12) * 32 / 255 - 23;
    const std::uint64_t k = minLocal + (payload - minLocal) % (usable - 4);
    return k <= maxLocal ? static_cast<std::uint32_t>(k) : minLocal;
}

std::optional<BtreeCell> readCell(std::span<const std::uint8_t> page, const BtreePage& header,
                                  std::uint32_t index, std::uint32_t usable) {
    if (index >= header.cellCount) return std::nullopt;
    const auto at = readBe16(page, header.headerOffset + header.headerSize() + 2 * index);
    if (!at || *at < header.pointersEnd() || *at >= usable) return std::nullopt;
    const auto bytes = page.first(usable);
    BtreeCell c{*at, 0, 0, 0, 0, 0, 0, 0};
    std::uint64_t q = c.offset;
    if (!header.leaf()) {
        const auto child = readBe32(bytes, q);
        if (!child) return std::nullopt;
        c.leftChild = *child;
        q += 4;
    }
    if (header.kind == BtreeKind::TableInterior) {
        const auto rowid = readVarint(bytes, q);
        if (!rowid) return std::nullopt;
        c.rowid = static_cast<std::int64_t>(rowid->value);
        c.size = static_cast<std::uint32_t>(q + rowid->length - c.offset);
        return c;
    }
    const auto payload = readVarint(bytes, q);
    if (!payload) return std::nullopt;
    q += payload->length;
    if (header.kind == BtreeKind::TableLeaf) {
        const auto rowid = readVarint(bytes, q);
        if (!rowid) return std::nullopt;
        c.rowid = static_cast<std::int64_t>(rowid->value);
        q += rowid->length;
    }
    c.payloadStart = static_cast<std::uint32_t>(q);
    c.payloadSize = payload->value;
    c.localSize = localPayloadSize(c.payloadSize, usable, header.kind == BtreeKind::TableLeaf);
    std::uint64_t end = q + c.localSize;
    if (c.localSize < c.payloadSize) {
        const auto next = readBe32(bytes, end);
        if (!next) return std::nullopt;
        c.overflowPage = *next;
        end += 4;
    }
    if (end > usable) return std::nullopt;
    // SQLite never gives a cell fewer than four bytes.
    c.size = static_cast<std::uint32_t>(std::max<std::uint64_t>(end - c.offset, 4));
    return c;
}

namespace {

// SQLite fills a page from its end, so cells listed in key order usually lie in falling order:
// true when `v` is in order already or was only reversed, and need not be sorted.
template <typename T, typename Less>
bool inOrderCheaply(std::vector<T>& v, Less less) {
    if (std::is_sorted(v.begin(), v.end(), less)) return true;
    if (!std::is_sorted(v.rbegin(), v.rend(), less)) return false;
    std::reverse(v.begin(), v.end());
    return true;
}

// Sorts `cells` by offset; where they must be sorted, their offsets and places, packed into one
// 32-bit number each (both are below 65,536), are sorted, and the cells then moved once each
// along the cycles of that order, cheaper than moving cells of 48 bytes about.
void sortCellsByOffset(std::vector<BtreeCell>& cells, std::vector<ByteRange>& order) {
    if (inOrderCheaply(cells,
                       [](const BtreeCell& a, const BtreeCell& b) { return a.offset < b.offset; }))
        return;
    order.clear();
    for (std::uint32_t i = 0; i < cells.size(); ++i)
        order.push_back({cells[i].offset << 16 | i, 0});
    std::sort(order.begin(), order.end(),
              [](const ByteRange& a, const ByteRange& b) { return a.begin < b.begin; });
    for (ByteRange& o : order)
        o.end = o.begin & 0xFFFF;
    // Place k takes the cell that was at order[k].end; a place done is marked as its own source.
    for (std::uint32_t k = 0; k < order.size(); ++k) {
        if (order[k].end == k) continue;
        const BtreeCell first = cells[k];
        std::uint32_t at = k;
        for (;;) {
            const std::uint32_t from = order[at].end;
            order[at].end = at;
            if (from == k) {
                cells[at] = first;
                break;
            }
            cells[at] = cells[from];
            at = from;
        }
    }
}

}  // namespace

void btreeUnusedRanges(std::span<const std::uint8_t> page, const BtreePage& header,
                       std::uint32_t usable, std::vector<ByteRange>& out,
                       std::vector<BtreeCell>* cells, std::vector<ByteRange>& used) {
    out.clear();
    if (cells) cells->clear();
    used.clear();
    for (std::uint32_t i = 0; i < header.cellCount; ++i) {
        const auto cell = readCell(page, header, i, usable);
        if (!cell) continue;
        if (cells)
            cells->push_back(*cell);
        else
            used.push_back({cell->offset, cell->offset + cell->size});
    }
    // The cells, when asked for, are sorted once and give the used ranges in the same order.
    if (cells) {
        sortCellsByOffset(*cells, used);
        used.clear();
        for (const BtreeCell& c : *cells)
            used.push_back({c.offset, c.offset + c.size});
    } else {
        auto less = [](const ByteRange& a, const ByteRange& b) { return a.begin < b.begin; };
        if (!inOrderCheaply(used, less)) std::sort(used.begin(), used.end(), less);
    }
    std::uint32_t at = header.pointersEnd();
    for (const ByteRange& r : used) {
        if (r.begin > at) out.push_back({at, std::min(r.begin, usable)});
        at = std::max(at, r.end);
        if (at >= usable) break;
    }
    if (at < usable) out.push_back({at, usable});
}

}  // namespace pc
