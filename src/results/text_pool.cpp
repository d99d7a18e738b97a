#include "text_pool.h"

#include <cstring>

#include "large_array_allocator.h"

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
        chunks_.emplace_back(static_cast<char*>(large_array::allocate(kChunk)));
        used_ = 0;
    }
    char* at = chunks_.back().get() + used_;
    used_ += size;
    return at;
}

void TextPool::FreeChunk::operator()(char* p) const {
    large_array::deallocate(p, kChunk);
}

// The first chunk is kept for the texts to come: a pool filled and cleared over and over (a batch
// of rows on its way out) takes no new memory each time.
void TextPool::clear() {
    if (chunks_.size() > 1) chunks_.erase(chunks_.begin() + 1, chunks_.end());
    big_.clear();
    used_ = chunks_.empty() ? kChunk : 0;
}

}  // namespace pc
