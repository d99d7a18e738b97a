// A rollback journal (`FILE-journal`) as SQLite writes it: segments of a header padded to a sector,
// then records of a page number, the page as it was before the transaction and a checksum. A
// journal with records SQLite would play back (those its headers count, up to the first whose
// checksum fails) is hot: the main file holds a transaction that never committed, and putting
// those pages back, the file cut to its size before the transaction, is the database's newest
// state. A header zeroed after a commit (PERSIST mode) still leaves its records, at the
// first sector boundary, as old page images.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace pc {

struct JournalRecord {
    std::uint32_t page;
    std::uint64_t offset;  // of the page bytes in the file
    bool checksumOk;       // false where the header that would vouch for it is gone
    bool playback;         // SQLite would put it back when it rolls a hot journal back
};

class RollbackJournal {
  public:
    // The records of `bytes` for a database of `pageSize`-byte pages and `pageCount` pages;
    // nullopt when nothing in it is a journal of such a database.
    static std::optional<RollbackJournal> read(std::span<const std::uint8_t> bytes,
                                               std::uint32_t pageSize, std::uint32_t pageCount);

    const std::vector<JournalRecord>& records() const { return records_; }
    bool hot() const { return hot_; }
    // Pages of the database before the uncommitted transaction (hot journals).
    std::uint32_t initialSize() const { return initialSize_; }

  private:
    void readSegments(std::span<const std::uint8_t> bytes, std::uint32_t pageSize);
    void readZeroedHeader(std::span<const std::uint8_t> bytes, std::uint32_t pageSize,
                          std::uint32_t pageCount);

    std::vector<JournalRecord> records_;
    bool hot_ = false;
    std::uint32_t initialSize_ = 0;
};

}  // namespace pc
