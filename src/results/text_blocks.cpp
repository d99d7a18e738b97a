#include "text_blocks.h"

#include <lz4.h>

#include <atomic>
#include <cstring>
#include <stdexcept>

namespace pc {

namespace {

std::atomic<std::uint64_t> nextId{1};

}  // namespace

TextBlocks::TextBlocks() : filling_(std::make_unique<char[]>(kBlock)), id_(nextId++) {
}

TextBlocks::OpenBlocks& TextBlocks::openHere() const {
    // A few TextBlocks at most are read on a thread; their blocks live as long as the thread.
    thread_local std::vector<std::unique_ptr<OpenBlocks>> threads;
    for (auto& o : threads)
        if (o->owner == id_) {
            if (o->generation != generation_) {
                for (Open& slot : o->open)
                    slot.block = UINT32_MAX;
                o->generation = generation_;
            }
            return *o;
        }
    auto made = std::make_unique<OpenBlocks>();
    made->owner = id_;
    made->generation = generation_;
    for (Open& slot : made->open)
        slot.bytes = std::make_unique<char[]>(kBlock);
    // Those of TextBlocks that are gone make room.
    if (threads.size() >= 4) threads.erase(threads.begin());
    threads.push_back(std::move(made));
    return *threads.back();
}

TextBlocks::~TextBlocks() = default;

TextBlocks::Place TextBlocks::keep(std::string_view text) {
    if (text.size() > kLongest) throw std::length_error("a text too long for a block");
    if (kBlock - filled_ < text.size()) seal();
    const Place at{static_cast<std::uint32_t>(packed_.size()), filled_};
    if (!text.empty()) std::memcpy(filling_.get() + filled_, text.data(), text.size());
    filled_ += static_cast<std::uint32_t>(text.size());
    keptBytes_ += text.size();
    return at;
}

void TextBlocks::seal() {
    scratch_.resize(static_cast<std::size_t>(LZ4_compressBound(static_cast<int>(kBlock))));
    const int size =
        LZ4_compress_default(filling_.get(), scratch_.data(), static_cast<int>(filled_),
                             static_cast<int>(scratch_.size()));
    if (size <= 0) throw std::runtime_error("a block of texts could not be compressed");
    char* kept = pool_.allocate(static_cast<std::size_t>(size));
    std::memcpy(kept, scratch_.data(), static_cast<std::size_t>(size));
    const auto block = static_cast<std::uint32_t>(packed_.size());
    packed_.push_back({kept, static_cast<std::uint32_t>(size), filled_});
    compressedBytes_ += static_cast<std::uint64_t>(size);
    // The filled bytes become the block's open copy, so views of its texts stay valid; the slot
    // they take gives its buffer to the next block.
    OpenBlocks& here = openHere();
    Open& slot = here.open[here.next];
    here.next = (here.next + 1) % kOpenBlocks;
    std::swap(slot.bytes, filling_);
    slot.block = block;
    filled_ = 0;
}

TextBlocks::Open& TextBlocks::slotFor(std::uint32_t block) const {
    OpenBlocks& here = openHere();
    for (Open& o : here.open)
        if (o.block == block) return o;
    const Packed& p = packed_.at(block);
    Open& slot = here.open[here.next];
    here.next = (here.next + 1) % kOpenBlocks;
    slot.block = UINT32_MAX;
    const int length = LZ4_decompress_safe(p.bytes, slot.bytes.get(), static_cast<int>(p.size),
                                           static_cast<int>(kBlock));
    if (length < 0 || static_cast<std::uint32_t>(length) != p.length)
        throw std::runtime_error("a block of texts is damaged");
    slot.block = block;
    return slot;
}

std::string_view TextBlocks::text(Place at, std::size_t length) const {
    if (length == 0) return {};
    const char* bytes = at.block == packed_.size() ? filling_.get() : slotFor(at.block).bytes.get();
    if (std::size_t{at.offset} + length > kBlock) throw std::out_of_range("a text past its block");
    return {bytes + at.offset, length};
}

void TextBlocks::clear() {
    pool_.clear();
    packed_.clear();
    filled_ = 0;
    ++generation_;
    keptBytes_ = compressedBytes_ = 0;
}

}  // namespace pc
