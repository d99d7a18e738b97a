// A write-ahead log (`FILE-wal`) as SQLite reads it: a 32-byte header, then frames of a 24-byte
// header and one page. A frame belongs to the log when its salts are the header's and the running
// checksum (in the byte order the magic names) holds through it; the log ends at the first frame
// that does not. Its newest state is the committed part: the frames up to the last valid commit
// frame, in which the last frame of a page wins. Every frame slot of the file is an old page image
// as well, those left over from before the log was last restarted included.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "mapped_file.h"

namespace pc {

struct WalFrame {
    std::uint32_t page;        // page number the frame holds
    std::uint32_t commitSize;  // database size in pages after a commit frame, else 0
    std::uint64_t offset;      // of the frame's page bytes in the file
};

class WalLog {
  public:
    // The log of `bytes` for a database of `pageSize`-byte pages; nullopt when the header is not
    // a log's (wrong magic, version or checksum) or names another page size.
    static std::optional<WalLog> read(std::span<const std::uint8_t> bytes, std::uint32_t pageSize);
    // The same of a mapped file, read through a buffer of its own.
    static std::optional<WalLog> read(const MappedFile& file, std::uint32_t pageSize);

    // Frames that belong to the log, in order; the first `committed` of them are committed.
    const std::vector<WalFrame>& frames() const { return frames_; }
    std::size_t committed() const { return committed_; }
    // Database size in pages after the last commit; 0 when nothing is committed.
    std::uint32_t committedSize() const { return committedSize_; }
    // Offsets of the page bytes of every whole frame slot of the file, valid or not.
    const std::vector<std::uint64_t>& slots() const { return slots_; }
    // The page number each slot's frame header names, valid or not.
    const std::vector<std::uint32_t>& slotPages() const { return slotPages_; }

  private:
    template <typename At>
    static std::optional<WalLog> readWith(std::uint64_t size, std::uint32_t pageSize, At at);

    std::vector<WalFrame> frames_;
    std::size_t committed_ = 0;
    std::uint32_t committedSize_ = 0;
    std::vector<std::uint64_t> slots_;
    std::vector<std::uint32_t> slotPages_;
};

}  // namespace pc
