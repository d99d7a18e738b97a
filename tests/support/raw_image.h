// Hand-made database files: an SQLite header and pages whose bytes a test places itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pc::testing {

class RawImage {
  public:
    // `storedPageSize` is what the header says (1 means 65536); `pageSize` the real page length.
    RawImage(std::uint32_t pageSize, std::uint32_t pages, std::uint16_t storedPageSize = 0);

    RawImage& put(std::uint64_t at, const std::vector<std::uint8_t>& bytes);
    RawImage& putBe16(std::uint64_t at, std::uint16_t v);
    RawImage& putBe32(std::uint64_t at, std::uint32_t v);
    // Makes page `page` (0-based) a table-leaf page listing cells at the given offsets.
    RawImage& leafPage(std::uint32_t page, const std::vector<std::uint16_t>& cellStarts);
    std::uint64_t pageStart(std::uint32_t page) const { return std::uint64_t{pageSize_} * page; }

    std::vector<std::uint8_t>& bytes() { return bytes_; }
    void writeTo(const std::string& path) const;

  private:
    std::uint32_t pageSize_;
    std::vector<std::uint8_t> bytes_;
};

}  // namespace pc::testing
