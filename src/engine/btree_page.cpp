#include "btree_page.h"

#include <algorithm>

#include "MyFuns_.h"
#include "byte_order.h"

namespace pc {

std::optional<BtreePage> parseBtreePage(std::span<const std::uint8_t> page,
                                        std::uint32_t headerOffset, std::uint32_t usable) {
    if (page.size() < usable || headerOffset + 12 > usable) return std::nullopt;
    const std::uint8_t type = page[headerOffset];
    if (type != 0x02 && type != 0x05 && type != 0x0A && type != 0x0D) return std::nullopt;
    BtreePage p{static_cast<BtreeKind>(type), headerOffset, *readBe16(page, headerOffset + 1),
                *readBe16(page, headerOffset + 3), 0};
    if (!p.leaf()) p.rightChild = *readBe32(page, headerOffset + 8);
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

}  // namespace pc
