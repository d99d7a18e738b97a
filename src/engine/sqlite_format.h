// The SQLite file format's fixed numbers, declared once: the database header's fields, the b-tree
// page kinds and headers, the write-ahead log's header and frames, the rollback journal's header
// and records, and the pointer map. Everything that reads those structures takes its offsets and
// sizes from here.
#pragma once

#include <cstdint>

namespace pc::format {

// The database header: the first 100 bytes of page 1.
inline constexpr char kMagic[] = "SQLite format 3";  // 16 bytes with its terminating zero
inline constexpr std::uint32_t kHeaderSize = 100;
inline constexpr std::uint32_t kPageSizeOffset = 16;  // 2 bytes; 1 means 65536
inline constexpr std::uint32_t kWriteVersionOffset = 18;
inline constexpr std::uint32_t kReadVersionOffset = 19;  // 2 in both: write-ahead-log mode
inline constexpr std::uint32_t kReservedBytesOffset = 20;
inline constexpr std::uint32_t kPageCountOffset = 28;
inline constexpr std::uint32_t kFreelistTrunkOffset = 32;
inline constexpr std::uint32_t kFreelistCountOffset = 36;
inline constexpr std::uint32_t kLargestRootOffset = 52;  // non-zero: auto-vacuum
inline constexpr std::uint32_t kTextEncodingOffset = 56;
inline constexpr std::uint32_t kMinPageSize = 512;
inline constexpr std::uint32_t kMaxPageSize = 65536;
inline constexpr std::uint32_t kMinUsableSize = 480;
// The page that holds the byte SQLite locks never holds data.
inline constexpr std::uint64_t kLockByteOffset = 0x40000000;

// B-tree pages: the kind byte, then the header (8 bytes on leaves, 12 on interior pages), then the
// cell pointers, two bytes each.
inline constexpr std::uint8_t kIndexInterior = 0x02;
inline constexpr std::uint8_t kTableInterior = 0x05;
inline constexpr std::uint8_t kIndexLeaf = 0x0A;
inline constexpr std::uint8_t kTableLeaf = 0x0D;
inline constexpr std::uint32_t kFirstFreeblockOffset = 1;
inline constexpr std::uint32_t kCellCountOffset = 3;
inline constexpr std::uint32_t kContentStartOffset = 5;
inline constexpr std::uint32_t kFragmentedBytesOffset = 7;
inline constexpr std::uint32_t kRightChildOffset = 8;
inline constexpr std::uint32_t kLeafHeaderSize = 8;
inline constexpr std::uint32_t kInteriorHeaderSize = 12;
inline constexpr std::uint32_t kFreeblockHeaderSize = 4;  // next (2 bytes), size (2 bytes)
// A page's header offset: page 1 holds the database header first.
constexpr std::uint32_t btreeHeaderOffset(std::uint32_t page) {
    return page == 1 ? kHeaderSize : 0;
}

// Overflow pages: the next page's number, then payload. Free-list trunks: the next trunk, the leaf
// count, then leaf numbers.
inline constexpr std::uint32_t kOverflowHeaderSize = 4;
inline constexpr std::uint32_t kTrunkHeaderSize = 8;

// Pointer-map entries: a kind byte and the parent page, 5 bytes each.
inline constexpr std::uint32_t kPointerMapEntrySize = 5;
enum class PointerKind : std::uint8_t {
    RootPage = 1,
    FreePage = 2,
    FirstOverflow = 3,
    LaterOverflow = 4,
    Btree = 5,
};

// The write-ahead log: a 32-byte header, then frames of a 24-byte header and one page.
inline constexpr std::uint32_t kWalMagic = 0x377F0682;  // | 1: checksums of big-endian words
inline constexpr std::uint32_t kWalVersion = 3007000;
inline constexpr std::uint32_t kWalHeaderSize = 32;
inline constexpr std::uint32_t kWalFrameHeaderSize = 24;

// The rollback journal: a header of 28 bytes padded to a sector, then records of a 4-byte page
// number, the page and a 4-byte checksum.
inline constexpr std::uint8_t kJournalMagic[8] = {0xD9, 0xD5, 0x05, 0xF9, 0x20, 0xA1, 0x63, 0xD7};
inline constexpr std::uint32_t kJournalHeaderSize = 28;
inline constexpr std::uint32_t kJournalRecordOverhead = 8;
inline constexpr std::uint32_t kJournalCountOffset = 8;
inline constexpr std::uint32_t kJournalNonceOffset = 12;
inline constexpr std::uint32_t kJournalInitialSizeOffset = 16;
inline constexpr std::uint32_t kJournalSectorOffset = 20;
inline constexpr std::uint32_t kJournalPageSizeOffset = 24;
inline constexpr std::uint32_t kMinSectorSize = 512;
inline constexpr std::uint32_t kMaxSectorSize = 65536;

}  // namespace pc::format
