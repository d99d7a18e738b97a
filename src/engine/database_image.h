// The database file as the carver sees it: its first pageSize x pageCount bytes, mapped, never
// written. The header is checked here; a write-ahead-log header needs no rewrite because the
// carver reads raw pages and the SQLite layer works on a private copy.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "database_header.h"
#include "mapped_file.h"
#include "sector_io.h"

namespace pc {

class DatabaseImage {
  public:
    DatabaseImage() = default;
    // `header.pageCount` is the corrected count of whole pages the map holds.
    DatabaseImage(MappedFile map, const DatabaseHeader& header);

    std::span<const std::uint8_t> bytes() const { return map_.bytes(); }
    std::uint32_t pageSize() const { return header_.pageSize; }
    std::uint32_t pageCount() const { return header_.pageCount; }
    const DatabaseHeader& header() const { return header_; }
    // Pages the header claims beyond the end of the file: a copy cut short.
    std::uint64_t missingPages() const { return missingPages_; }
    void setMissingPages(std::uint64_t n) { missingPages_ = n; }
    // Whole pages the file holds past the page count its header gives.
    std::uint64_t pagesPastHeader() const { return pagesPastHeader_; }
    void setPagesPastHeader(std::uint64_t n) { pagesPastHeader_ = n; }
    // Lets the system drop pages the carver has passed, so huge files stay cheap to scan.
    void releaseBefore(std::uint64_t offset) const { map_.releaseBefore(offset); }
    void prefetch(std::uint64_t offset, std::uint64_t length) const {
        map_.prefetch(offset, length);
    }
    // Copies image bytes into `out` without touching the mapping; false when the read failed.
    bool readInto(std::uint64_t offset, std::span<std::uint8_t> out) const {
        return map_.readInto(offset, out);
    }

  private:
    MappedFile map_;
    DatabaseHeader header_;
    std::uint64_t missingPages_ = 0;
    std::uint64_t pagesPastHeader_ = 0;
};

struct ImageLoad {
    SectorRead headerRead = SectorRead::Ok;
    bool imageReadFailed = false;        // the pages could not be mapped; the image is empty
    std::optional<DatabaseImage> image;  // nullopt: not an SQLite 3 database
};

// Loads the image of the database at `path`. The page count of the header is used unless it is 0
// or claims more than the file holds; then the whole pages of the file are taken.
// Throws FileError when the file is no regular file or its size cannot be read.
ImageLoad loadDatabaseImage(const std::string& path);

}  // namespace pc
