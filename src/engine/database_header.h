// The 100-byte header at the start of an SQLite 3 database file: the fields the page layer reads.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace pc {

struct DatabaseHeader {
    std::uint32_t pageSize = 0;         // 512..65536; the stored value 1 means 65536
    std::uint32_t pageCount = 0;        // as stored at offset 28 (0 in files of old SQLite)
    std::uint8_t reservedBytes = 0;     // unused bytes at the end of every page (offset 20)
    std::uint32_t freelistTrunk = 0;    // first free-list trunk page (offset 32)
    std::uint32_t freelistPages = 0;    // pages on the free list (offset 36)
    std::uint32_t largestRootPage = 0;  // non-zero: auto-vacuum, with pointer-map pages (offset 52)
    std::uint32_t textEncoding = 1;     // 1 UTF-8, 2 UTF-16le, 3 UTF-16be (offset 56)

    // Bytes of a page that b-tree cells may use.
    std::uint32_t usableSize() const { return pageSize - reservedBytes; }
};

// The header of a block that starts a database file, or nullopt when it is not an SQLite 3
// header with a page size SQLite accepts. A reserved-byte count that leaves less than 480 usable
// bytes, which SQLite refuses, is read as none.
std::optional<DatabaseHeader> parseDatabaseHeader(std::span<const std::uint8_t> block);

}  // namespace pc
