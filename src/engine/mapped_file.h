// A file mapped into memory without copying it, so images of many gigabytes cost address space,
// not resident memory. The mapping is private: nothing written to it reaches the file.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "unique_fd.h"

namespace pc {

class MappedFile {
  public:
    enum class Access { ReadOnly, CopyOnWrite };

    MappedFile() = default;
    // Maps the first `length` bytes of the file (the whole file when length is npos).
    // Throws FileError when the file cannot be opened or mapped.
    MappedFile(const std::string& path, Access access, std::uint64_t length = npos);
    MappedFile(MappedFile&& o) noexcept;
    MappedFile& operator=(MappedFile&& o) noexcept;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile();

    std::span<const std::uint8_t> bytes() const { return {data_, size_}; }
    // Only for CopyOnWrite mappings: changes stay in this process.
    std::span<std::uint8_t> writableBytes() { return {data_, size_}; }

    // Gives the pages before `offset` of a ReadOnly mapping back to the system; later reads there
    // fault them in again. (A CopyOnWrite mapping would lose its changes, so it keeps them.)
    void releaseBefore(std::uint64_t offset) const;
    // Maps the pages of [offset, offset + length) in one call ahead of their reads: one request
    // to the system instead of a fault every few pages. Only a hint; nothing fails.
    void prefetch(std::uint64_t offset, std::uint64_t length) const;
    // Copies the mapped bytes [offset, offset + out.size()) into `out` by reading the file, so
    // that the mapping's pages are not touched; false (and `out` undefined) when the system could
    // not read them all.
    bool readInto(std::uint64_t offset, std::span<std::uint8_t> out) const;

    static constexpr std::uint64_t npos = ~std::uint64_t{0};

  private:
    void unmap();
    UniqueFd fd_;  // kept for readInto
    std::uint8_t* data_ = nullptr;
    std::uint64_t size_ = 0;
    Access access_ = Access::ReadOnly;
};

}  // namespace pc
