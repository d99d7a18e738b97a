#include "page_window.h"

#include <algorithm>

namespace pc {

PageWindow::PageWindow(const DatabasePages& pages, bool following, std::uint32_t runPages)
    : pages_(&pages), runPages_(std::max(runPages, 1u)), following_(following) {
}

void PageWindow::expect(std::span<const std::uint32_t> pages) {
    expected_.assign(pages.begin(), pages.end());
    std::sort(expected_.begin(), expected_.end());
}

std::uint32_t PageWindow::runLength(std::uint32_t number) const {
    if (following_) return runPages_;
    auto at = std::lower_bound(expected_.begin(), expected_.end(), number);
    std::uint32_t length = 1;
    if (at == expected_.end() || *at != number) return length;
    while (length < runPages_ && ++at != expected_.end() && *at == number + length)
        ++length;
    return length;
}

PageWindow::View PageWindow::page(std::uint32_t number) {
    const auto mapped = pages_->peek(number);
    // Pages of the log or journal lie scattered in their files: read where they are.
    if (mapped.empty() || pages_->source(number) != SourceFile::Main)
        return {mapped, pages_->buffer(number)};
    const std::uint32_t size = pages_->pageSize();
    if (number < first_ || number - first_ >= count_) {
        const auto mainPages = static_cast<std::uint32_t>(pages_->image().bytes().size() / size);
        count_ = std::min(runLength(number), mainPages - (number - 1));
        first_ = number;
        buffer_.resize(std::size_t{count_} * size);
        if (!pages_->image().readInto(std::uint64_t{number - 1} * size, buffer_)) {
            count_ = 0;
            return {mapped, pages_->buffer(number)};
        }
    }
    const std::span<const std::uint8_t> run(buffer_);
    return {run.subspan(std::size_t{number - first_} * size, size), run};
}

}  // namespace pc
