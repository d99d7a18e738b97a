#include "sector_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "file_error.h"
#include "unique_fd.h"

namespace pc {

namespace {

UniqueFd openForReading(const std::string& path) {
    return UniqueFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
}

bool readFully(int fd, std::span<std::uint8_t> out, off_t at) {
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t n =
            ::pread(fd, out.data() + done, out.size() - done, at + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

SectorRead ReadSectors(const std::string& path, std::span<std::uint8_t> buffer,
                       std::uint64_t sector) {
    UniqueFd fd = openForReading(path);
    if (!fd) return SectorRead::OpenFailed;
    const auto at = static_cast<off_t>(sector * 512);
    std::vector<std::uint8_t> scratch(buffer.size());
    if (!readFully(fd.get(), scratch, at)) return SectorRead::ShortRead;
    std::copy(scratch.begin(), scratch.end(), buffer.begin());
    return SectorRead::Ok;
}

std::uint64_t FileSizeOf(const std::string& path) {
    UniqueFd fd = openForReading(path);
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0) throw FileError(path, errno);
    return static_cast<std::uint64_t>(st.st_size);
}

void requireRegularFile(const std::string& path) {
    struct stat st {};
    // A file that is not there, or cannot be looked at, is the opening's to report.
    if (::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return;
    const char* what = S_ISDIR(st.st_mode)    ? "a folder, not a database file"
                       : S_ISFIFO(st.st_mode) ? "a pipe (FIFO), not a database file"
                       : S_ISSOCK(st.st_mode) ? "a socket, not a database file"
                                              : "a device, not a database file";
    throw FileError(path, EINVAL, what);
}

}  // namespace pc
