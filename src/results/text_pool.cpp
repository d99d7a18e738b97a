#include "text_pool.h"

#include <sys/mman.h>

#include <cstring>
#include <new>

namespace pc {

std::string_view TextPool::keep(std::string_view text) {
    if (text.empty()) return {};
    if (text.size() > kChunk / 4) {
        auto& own = big_.emplace_back(std::make_unique<char[]>(text.size()));
        std::memcpy(own.get(), text.data(), text.size());
        return {own.get(), text.size()};
    }
    if (kChunk - used_ < text.size()) {
        auto* chunk = static_cast<char*>(std::aligned_alloc(kChunk, kChunk));
        if (!chunk) throw std::bad_alloc();
        ::madvise(chunk, kChunk, MADV_HUGEPAGE);
        chunks_.emplace_back(chunk);
        used_ = 0;
    }
    char* at = chunks_.back().get() + used_;
    std::memcpy(at, text.data(), text.size());
    used_ += text.size();
    return {at, text.size()};
}

void TextPool::clear() {
    chunks_.clear();
    big_.clear();
    used_ = kChunk;
}

}  // namespace pc
