#include "text_pool.h"

#include <sys/mman.h>

#include <cstring>
#include <new>

namespace pc {

std::string_view TextPool::keep(std::string_view text) {
    if (text.empty()) return {};
    char* at = allocate(text.size());
    std::memcpy(at, text.data(), text.size());
    return {at, text.size()};
}

char* TextPool::allocate(std::size_t size) {
    if (size > kChunk / 4) return big_.emplace_back(std::make_unique<char[]>(size)).get();
    if (kChunk - used_ < size) {
        auto* chunk = static_cast<char*>(std::aligned_alloc(kChunk, kChunk));
        if (!chunk) throw std::bad_alloc();
        ::madvise(chunk, kChunk, MADV_HUGEPAGE);
        chunks_.emplace_back(chunk);
        used_ = 0;
    }
    char* at = chunks_.back().get() + used_;
    used_ += size;
    return at;
}

void TextPool::clear() {
    chunks_.clear();
    big_.clear();
    used_ = kChunk;
}

}  // namespace pc
