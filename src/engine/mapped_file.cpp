#include "mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <cerrno>
#include <utility>

#include "file_error.h"
#include "unique_fd.h"

namespace pc {

MappedFile::MappedFile(const std::string& path, Access access, std::uint64_t length)
    : access_(access) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0) throw FileError(path, errno);
    size_ = std::min<std::uint64_t>(length, static_cast<std::uint64_t>(st.st_size));
    if (size_ == 0) return;
    const int prot = access == Access::ReadOnly ? PROT_READ : PROT_READ | PROT_WRITE;
    void* p = ::mmap(nullptr, size_, prot, MAP_PRIVATE, fd.get(), 0);
    if (p == MAP_FAILED) {
        size_ = 0;
        throw FileError(path, errno);
    }
    data_ = static_cast<std::uint8_t*>(p);
    fd_ = std::move(fd);
}

MappedFile::MappedFile(MappedFile&& o) noexcept
    : fd_(std::move(o.fd_)),
      data_(std::exchange(o.data_, nullptr)),
      size_(std::exchange(o.size_, 0)),
      access_(o.access_) {
}

MappedFile& MappedFile::operator=(MappedFile&& o) noexcept {
    if (this != &o) {
        unmap();
        fd_ = std::move(o.fd_);
        data_ = std::exchange(o.data_, nullptr);
        size_ = std::exchange(o.size_, 0);
        access_ = o.access_;
    }
    return *this;
}

MappedFile::~MappedFile() {
    unmap();
}

void MappedFile::unmap() {
    if (data_) ::munmap(data_, size_);
    data_ = nullptr;
    size_ = 0;
    fd_.reset();
}

void MappedFile::releaseBefore(std::uint64_t offset) const {
    const auto pageSize = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
    const std::uint64_t end = std::min(offset, size_) / pageSize * pageSize;
    if (data_ && end > 0 && access_ == Access::ReadOnly) ::madvise(data_, end, MADV_DONTNEED);
}

}  // namespace pc

namespace pc {

void MappedFile::prefetch(std::uint64_t offset, std::uint64_t length) const {
#ifdef MADV_POPULATE_READ
    const auto pageSize = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
    const std::uint64_t begin = std::min(offset, size_) / pageSize * pageSize;
    const std::uint64_t end = std::min(offset + length, size_);
    if (data_ && end > begin) ::madvise(data_ + begin, end - begin, MADV_POPULATE_READ);
#else
    (void)offset;
    (void)length;
#endif
}

}  // namespace pc

namespace pc {

bool MappedFile::readInto(std::uint64_t offset, std::span<std::uint8_t> out) const {
    if (!fd_ || offset > size_ || size_ - offset < out.size()) return false;
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::pread(fd_.get(), out.data() + done, out.size() - done,
                                  static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace pc
