// Fuzz input as a file the loaders can open by path, kept in memory.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "unique_fd.h"

namespace pc::fuzz {

class MemoryFile {
  public:
    MemoryFile(const std::uint8_t* data, std::size_t size)
        : fd_(::memfd_create("fuzz-input", MFD_CLOEXEC)) {
        std::size_t done = 0;
        while (fd_ && done < size) {
            const ssize_t n = ::write(fd_.get(), data + done, size - done);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
    }
    std::string path() const { return "/proc/self/fd/" + std::to_string(fd_.get()); }

  private:
    UniqueFd fd_;
};

}  // namespace pc::fuzz
