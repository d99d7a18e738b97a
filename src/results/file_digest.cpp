#include "file_digest.h"

#include <fcntl.h>
#include <nettle/sha2.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <system_error>
#include <vector>

namespace pc {

namespace {

class OpenFile {
  public:
    explicit OpenFile(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
        if (fd_ < 0) throw std::system_error(errno, std::generic_category(), path);
    }
    ~OpenFile() { ::close(fd_); }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int fd() const { return fd_; }

  private:
    int fd_;
};

}  // namespace

FileFacts factsOf(const std::string& path, const std::function<void()>& pump) {
    const OpenFile file(path);
    struct stat st {};
    if (::fstat(file.fd(), &st) != 0) throw std::system_error(errno, std::generic_category(), path);
    FileFacts facts{path, static_cast<std::uint64_t>(st.st_size), st.st_mtim.tv_sec, {}};
    sha256_ctx ctx;
    sha256_init(&ctx);
    std::vector<std::uint8_t> chunk(1u << 20);
    for (;;) {
        const ssize_t got = ::read(file.fd(), chunk.data(), chunk.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) throw std::system_error(errno, std::generic_category(), path);
        if (got == 0) break;
        sha256_update(&ctx, static_cast<std::size_t>(got), chunk.data());
        // After each whole megabyte: a small file is read without a pause.
        if (pump && static_cast<std::size_t>(got) == chunk.size()) pump();
    }
    std::array<std::uint8_t, SHA256_DIGEST_SIZE> digest{};
    sha256_digest(&ctx, digest.size(), digest.data());
    static constexpr char kHex[] = "0123456789abcdef";
    for (std::uint8_t b : digest) {
        facts.sha256 += kHex[b >> 4];
        facts.sha256 += kHex[b & 15];
    }
    return facts;
}

}  // namespace pc
