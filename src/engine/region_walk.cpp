#include "region_walk.h"

#include <algorithm>
#include <filesystem>

#include "sqlite_format.h"

namespace pc {

namespace {

// Pages the walk has passed are handed back to the system every so often, so that a file of many
// gigabytes is walked in little resident memory.
constexpr std::uint64_t kReleaseStride = 64u << 20;

}  // namespace

RegionWalk::RegionWalk(const DatabaseImage& image, const DatabaseSource& source, const PageMap& map)
    : source_(&source), newest_(source.newest()), main_(image), map_(&map), budget_(newest_) {
}

std::uint32_t RegionWalk::regionCount(std::uint32_t firstPage) const {
    const std::uint32_t pages =
        newest_.pageCount() >= firstPage ? newest_.pageCount() - firstPage + 1 : 0;
    return pages + static_cast<std::uint32_t>(source_->oldImages().size());
}

bool RegionWalk::run(RegionVisitor& visitor, WalkControl control, std::uint32_t firstPage,
                     std::uint32_t firstIndex) {
    std::uint32_t index = firstIndex;
    auto next = [&] {
        control.events.pageReached(index++);
        return control.halted == 0;
    };
    PageWindow window(newest_, true);
    newest_.releaseEvery(kReleaseStride);
    for (std::uint32_t page = firstPage; page <= newest_.pageCount(); ++page) {
        if (!next()) return false;
        if (!visitor.wantsPage(page)) continue;
        const PageWindow::View view = window.page(page);
        if (view.page.empty()) continue;  // a page past the end of every file
        newestRegion(page, view, visitor);
        visitor.visit(region_);
    }
    newest_.releaseEvery(0);
    newest_.releaseBefore();
    for (const DatabaseSource::OldImage& image : source_->oldImages()) {
        if (!next()) return false;
        const PageWindow::View view = window.at(image.source, image.offset);
        if (view.page.empty()) continue;
        olderRegion(image, view, visitor);
        visitor.visit(region_);
    }
    return true;
}

void RegionWalk::newestRegion(std::uint32_t page, const PageWindow::View& view,
                              const RegionVisitor& visitor) {
    region_ = Region{};
    region_.bytes = view.page;
    region_.buffer = view.buffer;
    region_.source = newest_.source(page);
    region_.fileOffset = newest_.fileOffset(page);
    region_.page = page;
    const PageRole role = map_->role(page);
    region_.reached = role != PageRole::Unknown && role != PageRole::FreeLeaf;
    if (!region_.reached) return formerStructure(page, visitor);
    cells_.clear();
    map_->unusedRanges(page, view.page, unused_, visitor.wantsLiveCells(page) ? &cells_ : nullptr);
    region_.unused = unused_;
    region_.cells = cells_;
    const bool btree = role == PageRole::TableLeaf || role == PageRole::TableInterior ||
                       role == PageRole::IndexLeaf || role == PageRole::IndexInterior;
    if (btree)
        region_.header =
            parseBtreePage(view.page, format::btreeHeaderOffset(page), newest_.usableSize());
}

void RegionWalk::olderRegion(const DatabaseSource::OldImage& image, const PageWindow::View& view,
                             const RegionVisitor& visitor) {
    region_ = Region{};
    region_.bytes = view.page;
    region_.buffer = view.buffer;
    region_.source = image.source;
    region_.fileOffset = image.offset;
    region_.page = image.page;
    region_.older = true;
    formerStructure(image.page, visitor);
}

void RegionWalk::formerStructure(std::uint32_t page, const RegionVisitor& visitor) {
    unused_.assign(1, {0, newest_.pageSize()});
    region_.unused = unused_;
    cells_.clear();
    around_.clear();
    region_.header =
        parseBtreePage(region_.bytes, format::btreeHeaderOffset(page), newest_.usableSize());
    if (region_.header && visitor.wantsFormerCells(region_))
        btreeUnusedRanges(region_.bytes, *region_.header, newest_.usableSize(), around_, &cells_,
                          scratch_);
    region_.cells = cells_;
    region_.aroundCells = around_;
}

void noteSources(const DatabaseImage& image, const DatabaseSource& source, WalkEvents& events) {
    using Kind = SourceNote::Kind;
    if (image.missingPages() > 0)
        events.noted({Kind::Incomplete,
                      {},
                      image.missingPages(),
                      0,
                      image.missingPages() * image.pageSize(),
                      {}});
    if (image.pagesPastHeader() > 0)
        events.noted({Kind::PastHeader,
                      {},
                      image.pagesPastHeader(),
                      0,
                      image.pagesPastHeader() * image.pageSize(),
                      {}});
    for (const DatabaseSource::SideFile* side : {&source.wal(), &source.journal()}) {
        if (!side->present) continue;
        const std::string name = std::filesystem::path(side->path).filename().string();
        if (!side->error.empty())
            events.noted({Kind::Unreadable, name, 0, 0, 0, side->error});
        else if (!side->recognised)
            events.noted({Kind::Unrecognised, name, 0, 0, 0, {}});
        else if (side == &source.wal())
            events.noted({Kind::LogRead, name, side->images, side->committed, 0, {}});
        else
            events.noted({Kind::JournalRead, name, side->images, 0, 0, {}});
        if (side->hot) events.noted({Kind::HotJournal, name, 0, 0, 0, {}});
    }
}

}  // namespace pc
