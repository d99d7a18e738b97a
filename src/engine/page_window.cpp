#include "page_window.h"
#include "sqlite_format.h"

#include <algorithm>

namespace pc {

PageWindow::PageWindow(const DatabasePages& pages, bool following, std::uint32_t runPages)
    : pages_(&pages),
      runPages_(runPages != 0 ? runPages : std::max(1u, kRunBytes / pages.pageSize())),
      following_(following) {
}

void PageWindow::expect(std::span<const std::uint32_t> pages) {
    expected_.assign(pages.begin(), pages.end());
    std::sort(expected_.begin(), expected_.end());
}

std::uint32_t PageWindow::expectedRun(std::uint32_t number) const {
    auto at = std::lower_bound(expected_.begin(), expected_.end(), number);
    if (at == expected_.end() || *at != number) return 1;
    // A b-tree's children often lie a page or two apart (an overflow or index page between):
    // the pages between come with them, cheaper than a read of their own each.
    constexpr std::uint32_t kGap = 4;
    std::uint32_t last = number;
    while (++at != expected_.end() && *at - last <= kGap && *at - number < runPages_)
        last = *at;
    return last - number + 1;
}

std::uint32_t PageWindow::runFrom(std::uint32_t number, std::uint32_t wanted,
                                  std::uint64_t& stride) const {
    const SourceFile source = pages_->source(number);
    const std::uint64_t offset = pages_->fileOffset(number);
    stride = pages_->pageSize();
    // The main file's pages lie in page order: its next bytes are read whether or not the log
    // took the place of some of those pages, so that pages around them come from one read.
    if (source == SourceFile::Main)
        return static_cast<std::uint32_t>(
            std::clamp<std::uint64_t>((pages_->file(source).size() - offset) / stride, 1, wanted));
    if (wanted < 2 || !pages_->contains(number + 1) || pages_->source(number + 1) != source)
        return 1;
    const std::uint64_t next = pages_->fileOffset(number + 1);
    // Log frames carry a header before each page: the stride is what the first step says.
    if (next < offset + stride || next - offset > 2 * std::uint64_t{stride}) return 1;
    stride = next - offset;
    std::uint32_t length = 2;
    while (length < wanted && pages_->contains(number + length) &&
           pages_->source(number + length) == source &&
           pages_->fileOffset(number + length) == offset + length * stride)
        ++length;
    return length;
}

PageWindow::View PageWindow::page(std::uint32_t number) {
    if (pages_->peek(number).empty()) return {{}, {}};
    const std::uint32_t size = pages_->pageSize();
    const SourceFile source = pages_->source(number);
    const std::uint64_t offset = pages_->fileOffset(number);
    if (bufferFor(source).holds(source, offset, size)) return bytesAt(source, offset, size);
    std::uint64_t stride = size;
    const std::uint32_t run = runFrom(number, following_ ? runPages_ : expectedRun(number), stride);
    return bytesAt(source, offset, (run - 1) * stride + size);
}

PageWindow::View PageWindow::at(SourceFile source, std::uint64_t offset) {
    // Log frames carry a header of 24 bytes before each page.
    return bytesAt(source, offset,
                   std::uint64_t{runPages_} * (pages_->pageSize() + format::kWalFrameHeaderSize));
}

PageWindow::View PageWindow::bytesAt(SourceFile source, std::uint64_t offset,
                                     std::uint64_t length) {
    const std::uint32_t size = pages_->pageSize();
    const auto file = pages_->file(source);
    if (offset > file.size() || file.size() - offset < size) return {{}, file};
    Buffer& buffer = bufferFor(source);
    if (!buffer.holds(source, offset, size)) {
        buffer.source = source;
        buffer.begin = offset;
        buffer.bytes.resize(
            std::min<std::uint64_t>(std::max<std::uint64_t>(length, size), file.size() - offset));
        ++reads_;
        if (!pages_->readInto(source, offset, buffer.bytes)) {
            // The mapping then, as if there were no buffer.
            buffer.bytes.clear();
            return {file.subspan(offset, size), file};
        }
    }
    const std::span<const std::uint8_t> run(buffer.bytes);
    return {run.subspan(offset - buffer.begin, size), run};
}

}  // namespace pc
