#include "database_header.h"

#include <cstring>

#include "byte_order.h"

namespace pc {

std::optional<DatabaseHeader> parseDatabaseHeader(std::span<const std::uint8_t> block) {
    static constexpr char kMagic[] = "SQLite format 3";
    if (block.size() < 100 || std::memcmp(block.data(), kMagic, 15) != 0) return std::nullopt;
    DatabaseHeader h;
    h.pageSize = *readBe16(block, 16);
    if (h.pageSize == 1) h.pageSize = 65536;
    if (h.pageSize < 512 || h.pageSize > 65536 || (h.pageSize & (h.pageSize - 1)) != 0)
        return std::nullopt;
    h.reservedBytes = block[20];
    if (h.pageSize - h.reservedBytes < 480) h.reservedBytes = 0;
    h.pageCount = *readBe32(block, 28);
    h.freelistTrunk = *readBe32(block, 32);
    h.freelistPages = *readBe32(block, 36);
    h.largestRootPage = *readBe32(block, 52);
    h.textEncoding = *readBe32(block, 56);
    return h;
}

}  // namespace pc
