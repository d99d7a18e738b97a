#include "raw_image.h"

#include <cstring>

#include "temp_dir.h"

namespace pc::testing {

RawImage::RawImage(std::uint32_t pageSize, std::uint32_t pages, std::uint16_t storedPageSize)
    : pageSize_(pageSize), bytes_(std::uint64_t{pageSize} * pages, 0) {
    std::memcpy(bytes_.data(), "SQLite format 3", 16);
    putBe16(16, storedPageSize ? storedPageSize : static_cast<std::uint16_t>(pageSize));
    bytes_[18] = bytes_[19] = 1;
    putBe32(28, pages);
}

RawImage& RawImage::put(std::uint64_t at, const std::vector<std::uint8_t>& bytes) {
    std::memcpy(bytes_.data() + at, bytes.data(), bytes.size());
    return *this;
}

RawImage& RawImage::putBe16(std::uint64_t at, std::uint16_t v) {
    return put(at, {static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)});
}

RawImage& RawImage::putBe32(std::uint64_t at, std::uint32_t v) {
    return put(at, {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
                    static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)});
}

RawImage& RawImage::leafPage(std::uint32_t page, const std::vector<std::uint16_t>& cellStarts) {
    const std::uint64_t at = pageStart(page);
    bytes_[at] = 0x0D;
    putBe16(at + 3, static_cast<std::uint16_t>(cellStarts.size()));
    for (std::size_t i = 0; i < cellStarts.size(); ++i)
        putBe16(at + 8 + 2 * i, cellStarts[i]);
    return *this;
}

void RawImage::writeTo(const std::string& path) const {
    writeBytes(path, bytes_);
}

}  // namespace pc::testing
