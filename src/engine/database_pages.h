// The pages of a database in their newest state, numbered from 1 as the file format numbers them,
// each with where its bytes lie. Views only: the bytes belong to the image they come from.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>

#include "database_header.h"
#include "database_image.h"
#include "source_file.h"

namespace pc {

class DatabasePages {
  public:
    explicit DatabasePages(const DatabaseImage& image) : image_(&image) {}

    const DatabaseHeader& header() const { return image_->header(); }
    std::uint32_t pageSize() const { return image_->pageSize(); }
    std::uint32_t usableSize() const { return header().usableSize(); }
    std::uint32_t pageCount() const { return image_->pageCount(); }
    bool contains(std::uint32_t number) const { return number >= 1 && number <= pageCount(); }

    // Page `number`; empty when it is not a page of the database.
    std::span<const std::uint8_t> page(std::uint32_t number) const {
        if (!contains(number)) return {};
        return image_->bytes().subspan(std::uint64_t{number - 1} * pageSize(), pageSize());
    }
    // Where page `number`'s bytes lie: the file and the offset of its first byte.
    SourceFile source(std::uint32_t) const { return SourceFile::Main; }
    std::uint64_t fileOffset(std::uint32_t number) const {
        return std::uint64_t{number - 1} * pageSize();
    }
    // The bytes the pages are views of, for reads that may run past one page.
    std::span<const std::uint8_t> buffer(std::uint32_t) const { return image_->bytes(); }

    // Lets the system drop what the scan has read before page `number` (all of it by default);
    // later reads fault it in again.
    void releaseBefore(std::uint32_t number = ~0u) const {
        image_->releaseBefore(std::min<std::uint64_t>(fileOffset(number), image_->bytes().size()));
    }

  private:
    const DatabaseImage* image_;
};

}  // namespace pc
