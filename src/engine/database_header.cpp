#include "database_header.h"

#include <cstring>

#include "byte_order.h"
#include "sqlite_format.h"

namespace pc {

std::optional<DatabaseHeader> parseDatabaseHeader(std::span<const std::uint8_t> block) {
    using namespace format;
    if (block.size() < kHeaderSize || std::memcmp(block.data(), kMagic, sizeof kMagic - 1) != 0)
        return std::nullopt;
    DatabaseHeader h;
    h.pageSize = *readBe16(block, kPageSizeOffset);
    if (h.pageSize == 1) h.pageSize = kMaxPageSize;
    if (h.pageSize < kMinPageSize || h.pageSize > kMaxPageSize ||
        (h.pageSize & (h.pageSize - 1)) != 0)
        return std::nullopt;
    h.reservedBytes = block[kReservedBytesOffset];
    if (h.pageSize - h.reservedBytes < kMinUsableSize) h.reservedBytes = 0;
    h.pageCount = *readBe32(block, kPageCountOffset);
    h.freelistTrunk = *readBe32(block, kFreelistTrunkOffset);
    h.freelistPages = *readBe32(block, kFreelistCountOffset);
    h.largestRootPage = *readBe32(block, kLargestRootOffset);
    h.textEncoding = *readBe32(block, kTextEncodingOffset);
    return h;
}

}  // namespace pc
