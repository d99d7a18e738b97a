// Append-only storage for the texts of many rows: one allocation per megabyte instead of one
// per field, and views that stay valid until the pool is cleared.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

namespace pc {

class TextPool {
  public:
    std::string_view keep(std::string_view text);
    // Room for `size` bytes that stay where they are until the pool is cleared.
    char* allocate(std::size_t size);
    void clear();

  private:
    // Two megabytes, aligned to them: the system can back a chunk with one huge page instead of
    // five hundred small ones, each a fault to take.
    static constexpr std::size_t kChunk = 2 << 20;
    struct FreeChunk {
        void operator()(char* p) const;
    };
    std::vector<std::unique_ptr<char, FreeChunk>> chunks_;  // the last one is being filled
    std::vector<std::unique_ptr<char[]>> big_;              // texts of more than a quarter chunk
    std::size_t used_ = kChunk;                             // bytes used of the last chunk
};

}  // namespace pc
