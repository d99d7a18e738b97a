#include "database_image.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

#include "byte_order.h"
#include "file_error.h"

namespace pc {

std::optional<DatabaseHeader> parseDatabaseHeader(std::span<const std::uint8_t> block) {
    static constexpr char kMagic[] = "SQLite format 3";
    if (block.size() < 100 || std::memcmp(block.data(), kMagic, 15) != 0) return std::nullopt;
    std::uint32_t pageSize = *readBe16(block, 16);
    if (pageSize == 1) pageSize = 65536;
    if (pageSize < 512 || pageSize > 65536 || (pageSize & (pageSize - 1)) != 0) return std::nullopt;
    return DatabaseHeader{pageSize, *readBe32(block, 28)};
}

DatabaseImage::DatabaseImage(MappedFile map, std::uint32_t pageSize, std::uint32_t pageCount)
    : map_(std::move(map)), pageSize_(pageSize), pageCount_(pageCount) {
}

ImageLoad loadDatabaseImage(const std::string& path) {
    ImageLoad load;
    std::array<std::uint8_t, 512> block{};
    load.headerRead = ReadSectors(path, block, 0);
    const auto header = parseDatabaseHeader(block);
    if (!header) return load;

    const std::uint64_t size = FileSizeOf(path);
    std::uint64_t pageCount = header->pageCount;
    if (pageCount == 0 || pageCount * header->pageSize > size) {
        pageCount = std::min<std::uint64_t>(size / header->pageSize,
                                            std::numeric_limits<std::uint32_t>::max());
    }
    try {
        MappedFile map(path, MappedFile::Access::ReadOnly, pageCount * header->pageSize);
        if (map.bytes().size() < pageCount * header->pageSize) throw FileError(path, EIO);
        load.image.emplace(std::move(map), header->pageSize, static_cast<std::uint32_t>(pageCount));
    } catch (const FileError&) {
        // Like a failed read: the scan goes on over an image without pages and finds nothing.
        load.imageReadFailed = true;
        load.image.emplace(MappedFile{}, header->pageSize, 0);
    }
    return load;
}

}  // namespace pc
