// The pages of a database in their newest state, numbered from 1 as the file format numbers them,
// each with where its bytes lie: in the main file, or in a log frame or journal record that takes
// its place. Views only: the bytes belong to the mappings they come from.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "database_header.h"
#include "database_image.h"
#include "source_file.h"

namespace pc {

class DatabasePages {
  public:
    // The main file's pages as they are.
    explicit DatabasePages(const DatabaseImage& image)
        : image_(&image), header_(image.header()), pageCount_(image.pageCount()) {
        files_[0] = image.bytes();
    }

    // Where a page's newest bytes lie when they are not the main file's.
    struct Replacement {
        std::uint32_t page;
        SourceFile source;
        std::uint64_t offset;  // of the page bytes in that file
    };
    // The newest state: `pageCount` pages, the main file's where no replacement says otherwise.
    // `wal` and `journal` are the files the replacements point into; they outlive the pages.
    DatabasePages(const DatabaseImage& image, std::uint32_t pageCount, const MappedFile& wal,
                  const MappedFile& journal, const std::vector<Replacement>& replacements);

    // The newest page 1's header (a log or journal may hold a newer page 1 than the main file:
    // its free list and counts are the newest state's); the main file's page size always.
    const DatabaseHeader& header() const { return header_; }
    std::uint32_t pageSize() const { return image_->pageSize(); }
    std::uint32_t usableSize() const { return header().usableSize(); }
    std::uint32_t pageCount() const { return pageCount_; }
    bool contains(std::uint32_t number) const { return number >= 1 && number <= pageCount_; }

    // Page `number`; empty when it is not a page of the database or no file holds its bytes.
    std::span<const std::uint8_t> page(std::uint32_t number) const {
        if (!contains(number)) return {};
        if (releaseStride_ && (sinceRelease_ += pageSize()) >= releaseStride_) {
            sinceRelease_ = 0;
            releaseBefore();
        }
        return peek(number);
    }
    // The same without counting towards releaseEvery: for readers that do not touch the bytes
    // (or another thread, which must not touch the count).
    std::span<const std::uint8_t> peek(std::uint32_t number) const {
        if (!contains(number)) return {};
        const Place p = place(number);
        const auto bytes = files_[static_cast<int>(p.source)];
        if (p.offset > bytes.size() || bytes.size() - p.offset < pageSize()) return {};
        return bytes.subspan(p.offset, pageSize());
    }
    // Where page `number`'s bytes lie: the file, and the offset of the page there.
    SourceFile source(std::uint32_t number) const { return place(number).source; }
    std::uint64_t fileOffset(std::uint32_t number) const { return place(number).offset; }
    // All the bytes of the file the page lies in, for reads that may run past one page.
    std::span<const std::uint8_t> buffer(std::uint32_t number) const {
        return files_[static_cast<int>(source(number))];
    }
    std::span<const std::uint8_t> file(SourceFile source) const {
        return files_[static_cast<int>(source)];
    }
    // Copies bytes of a file into `out` by reading it, without touching its mapping; false when
    // the read failed.
    bool readInto(SourceFile source, std::uint64_t offset, std::span<std::uint8_t> out) const {
        const MappedFile* side = sideMaps_[static_cast<int>(source)];
        return side ? side->readInto(offset, out) : image_->readInto(offset, out);
    }

    // Lets the system drop what the scan has read of the main file before page `number` (all of
    // it by default); later reads fault it in again.
    // From now on, gives every page of the main file back after `stride` bytes of pages were
    // read here, so a walk over a file of gigabytes in tree order holds no more of it than that;
    // pages read again fault in again. 0: never. What is read does not change, only what stays
    // resident.
    void releaseEvery(std::uint64_t stride) const {
        releaseStride_ = stride;
        sinceRelease_ = 0;
    }
    // Maps the main file's pages [first, first + count) ahead of their reads.
    void prefetch(std::uint32_t first, std::uint32_t count) const {
        image_->prefetch(std::uint64_t{std::max(first, 1u) - 1} * pageSize(),
                         std::uint64_t{count} * pageSize());
    }
    const DatabaseImage& image() const { return *image_; }
    void releaseBefore(std::uint32_t number = ~0u) const {
        const std::uint64_t at = std::uint64_t{std::max(number, 1u) - 1} * pageSize();
        image_->releaseBefore(std::min<std::uint64_t>(at, image_->bytes().size()));
    }

  private:
    struct Place {
        SourceFile source;
        std::uint64_t offset;
    };
    Place place(std::uint32_t number) const {
        if (number < replaced_.size() && replaced_[number].source != SourceFile::Main)
            return replaced_[number];
        return {SourceFile::Main, std::uint64_t{number - 1} * pageSize()};
    }

    const DatabaseImage* image_;
    DatabaseHeader header_;
    std::uint32_t pageCount_;
    std::array<std::span<const std::uint8_t>, 3> files_;  // by SourceFile
    std::array<const MappedFile*, 3> sideMaps_{};         // the log's and journal's
    std::vector<Place> replaced_;                         // by page number; empty: none
    mutable std::uint64_t releaseStride_ = 0;
    mutable std::uint64_t sinceRelease_ = 0;
};

}  // namespace pc
