// One b-tree page of the file format: its header, its cell pointer array and its cells. Every
// read is checked against the page; a page whose header or cell list cannot be what SQLite wrote
// is refused rather than read in part.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "sqlite_format.h"

namespace pc {

enum class BtreeKind : std::uint8_t {
    IndexInterior = format::kIndexInterior,
    TableInterior = format::kTableInterior,
    IndexLeaf = format::kIndexLeaf,
    TableLeaf = format::kTableLeaf,
};

struct BtreePage {
    BtreeKind kind;
    std::uint32_t headerOffset;  // 100 on page 1, else 0
    std::uint16_t firstFreeblock;
    std::uint32_t cellCount;
    std::uint32_t rightChild;  // interior pages only

    bool leaf() const { return kind == BtreeKind::TableLeaf || kind == BtreeKind::IndexLeaf; }
    bool table() const { return kind == BtreeKind::TableLeaf || kind == BtreeKind::TableInterior; }
    std::uint32_t headerSize() const {
        return leaf() ? format::kLeafHeaderSize : format::kInteriorHeaderSize;
    }
    // End of the cell pointer array: the first byte after the page's fixed part.
    std::uint32_t pointersEnd() const { return headerOffset + headerSize() + 2 * cellCount; }
};

// The header of a b-tree page (`usable` bytes of it may hold cells), or nullopt when the type
// byte is not one of the four or the cell pointer array would not fit.
std::optional<BtreePage> parseBtreePage(std::span<const std::uint8_t> page,
                                        std::uint32_t headerOffset, std::uint32_t usable);

struct BtreeCell {
    std::uint32_t offset;        // of the cell in its page
    std::uint32_t size;          // bytes the cell takes in the page, overflow pointer included
    std::uint32_t payloadStart;  // offset of the payload in the page (tables: the record header)
    std::uint64_t payloadSize;   // all of it, local and overflow
    std::uint32_t localSize;     // payload bytes in the page
    std::uint32_t overflowPage;  // first overflow page, 0 when the payload is all local
    std::uint32_t leftChild;     // interior pages
    std::int64_t rowid;          // table pages
};

// Payload bytes of a cell that stay in the page, as SQLite splits a payload of `payload` bytes.
std::uint32_t localPayloadSize(std::uint64_t payload, std::uint32_t usable, bool tableLeaf);

// Cell `index` of the page; nullopt when its pointer or its bytes lie outside the usable part.
std::optional<BtreeCell> readCell(std::span<const std::uint8_t> page, const BtreePage& header,
                                  std::uint32_t index, std::uint32_t usable);

struct ByteRange {
    std::uint32_t begin, end;
    bool operator==(const ByteRange&) const = default;
};

// Replaces `out` with the byte ranges of a b-tree page that hold nothing live, in order: its
// unallocated space, freeblocks and fragments (nothing before the end of the cell pointers, nothing
// in the reserved bytes after `usable`). `cells`, when given, receives its cells by their offsets;
// `scratch` is room for the work.
void btreeUnusedRanges(std::span<const std::uint8_t> page, const BtreePage& header,
                       std::uint32_t usable, std::vector<ByteRange>& out,
                       std::vector<BtreeCell>* cells, std::vector<ByteRange>& scratch);

}  // namespace pc
