// The database file as the carver sees it: its first pageSize x pageCount bytes, mapped, never
// written. The header is checked here; a write-ahead-log header needs no rewrite because the
// carver reads raw pages and the SQLite layer works on a private copy.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "mapped_file.h"
#include "sector_io.h"

namespace pc {

struct DatabaseHeader {
    std::uint32_t pageSize;   // 512..65536; the stored value 1 means 65536
    std::uint32_t pageCount;  // as stored at offset 28
};

// The header fields of a 512-byte header block, or nullopt when it is not an SQLite 3 header
// with a page size SQLite accepts.
std::optional<DatabaseHeader> parseDatabaseHeader(std::span<const std::uint8_t> block);

class DatabaseImage {
  public:
    DatabaseImage() = default;
    DatabaseImage(MappedFile map, std::uint32_t pageSize, std::uint32_t pageCount);

    std::span<const std::uint8_t> bytes() const { return map_.bytes(); }
    std::uint32_t pageSize() const { return pageSize_; }
    std::uint32_t pageCount() const { return pageCount_; }
    // Lets the system drop pages the carver has passed, so huge files stay cheap to scan.
    void releaseBefore(std::uint64_t offset) const { map_.releaseBefore(offset); }

  private:
    MappedFile map_;
    std::uint32_t pageSize_ = 0;
    std::uint32_t pageCount_ = 0;
};

struct ImageLoad {
    SectorRead headerRead = SectorRead::Ok;
    bool imageReadFailed = false;        // the pages could not be mapped; the image is empty
    std::optional<DatabaseImage> image;  // nullopt: not an SQLite 3 database
};

// Loads the image of the database at `path`. The page count of the header is used unless it is 0
// or claims more than the file holds; then the whole pages of the file are taken.
// Throws FileError when the file's size cannot be read.
ImageLoad loadDatabaseImage(const std::string& path);

}  // namespace pc
