#include "database_image.h"

#include <algorithm>
#include <array>
#include <limits>

#include "byte_order.h"
#include "file_error.h"

namespace pc {

DatabaseImage::DatabaseImage(MappedFile map, const DatabaseHeader& header)
    : map_(std::move(map)), header_(header) {
}

ImageLoad loadDatabaseImage(const std::string& path) {
    requireRegularFile(path);
    ImageLoad load;
    std::array<std::uint8_t, 512> block{};
    load.headerRead = ReadSectors(path, block, 0);
    const auto header = parseDatabaseHeader(block);
    if (!header) return load;

    const std::uint64_t size = FileSizeOf(path);
    // The file's whole pages are read whatever the header says: a count cut short leaves rows
    // in the pages past it, a count past the file's end names pages that are not there.
    const std::uint64_t whole =
        std::min<std::uint64_t>(size / header->pageSize, std::numeric_limits<std::uint32_t>::max());
    const std::uint64_t pageCount = whole;
    DatabaseHeader corrected = *header;
    corrected.pageCount = static_cast<std::uint32_t>(pageCount);
    try {
        MappedFile map(path, MappedFile::Access::ReadOnly, pageCount * header->pageSize);
        if (map.bytes().size() < pageCount * header->pageSize) throw FileError(path, EIO);
        load.image.emplace(std::move(map), corrected);
        if (header->pageCount > pageCount)
            load.image->setMissingPages(header->pageCount - pageCount);
        else if (header->pageCount != 0 && header->pageCount < pageCount)
            load.image->setPagesPastHeader(pageCount - header->pageCount);
    } catch (const FileError&) {
        // Like a failed read: the scan goes on over an image without pages and finds nothing.
        load.imageReadFailed = true;
        corrected.pageCount = 0;
        load.image.emplace(MappedFile{}, corrected);
    }
    return load;
}

}  // namespace pc
