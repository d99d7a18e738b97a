#include "page_map.h"

#include <algorithm>

#include "MyFuns_.h"
#include "ascii_case.h"
#include "btree_page.h"
#include "byte_order.h"
#include "cell_payload.h"
#include "record_layout.h"
#include "text_codec.h"

namespace pc {

namespace {

PageRole roleOf(BtreeKind kind) {
    switch (kind) {
        case BtreeKind::TableInterior: return PageRole::TableInterior;
        case BtreeKind::TableLeaf: return PageRole::TableLeaf;
        case BtreeKind::IndexInterior: return PageRole::IndexInterior;
        case BtreeKind::IndexLeaf: break;
    }
    return PageRole::IndexLeaf;
}

}  // namespace

PageMap::PageMap(const DatabasePages& pages, std::string_view watchedTable,
                 const LeafCellVisitor& onCell, const std::uint8_t* halted)
    : halted_(halted), db_(&pages), pages_(pages.pageCount() + 1), liveBudget_(pages) {
    std::uint32_t watched = 0;
    walk(
        [&](std::uint32_t root) {
            if (watched == 0 && !watchedTable.empty()) watched = tableRoot(watchedTable);
            return root == watched;
        },
        onCell);
}

PageMap::PageMap(const DatabasePages& pages, EveryTable, const LeafCellVisitor& onCell,
                 const std::uint8_t* halted)
    : halted_(halted), db_(&pages), pages_(pages.pageCount() + 1), liveBudget_(pages) {
    indexCells_ = true;
    walk([](std::uint32_t) { return true; }, onCell);
}

template <typename Watched>
void PageMap::walk(Watched watched, const LeafCellVisitor& onCell) {
    markFixedPages();
    // The children of an interior page usually lie side by side: each run of them is read in
    // one request rather than touched a page at a time.
    PageWindow window(*db_, false);
    walkTree(1, true, nullptr, window);
    for (const SchemaEntry& e : schema_)
        if (e.rootPage > 1)
            walkTree(e.rootPage, false, onCell && watched(e.rootPage) ? &onCell : nullptr, window);
    walkFreeList();
}

void PageMap::markFixedPages() {
    const std::uint32_t count = db_->pageCount();
    const std::uint64_t lockPage = format::kLockByteOffset / db_->pageSize() + 1;
    if (lockPage <= count) pages_[lockPage].role = PageRole::LockByte;
    if (db_->header().largestRootPage == 0) return;
    // Pointer-map pages: page 2, then one after every usable/5 pages they describe.
    const std::uint32_t stride = db_->usableSize() / format::kPointerMapEntrySize + 1;
    for (std::uint64_t p = 2; p <= count; p += stride) {
        if (p == lockPage) ++p;  // the map page that would fall on the lock page comes after it
        if (p <= count) pages_[p].role = PageRole::PointerMap;
    }
}

void PageMap::claimOverflow(std::uint32_t root, std::uint64_t wanted, std::uint32_t first) {
    OverflowBudget budget(*db_);
    followOverflow(
        *db_, first, wanted, nullptr, budget,
        [&](std::uint32_t p, std::uint32_t) { return pages_[p].role == PageRole::Unknown; },
        [&](std::uint32_t p, std::uint32_t used) {
            pages_[p] = {root, first, used, PageRole::Overflow};
        });
}

void PageMap::walkTree(std::uint32_t root, bool readSchema, const LeafCellVisitor* onCell,
                       PageWindow& window) {
    const std::uint32_t usable = db_->usableSize();
    std::optional<bool> tableTree;
    std::vector<std::uint32_t> stack{root};
    std::vector<std::uint32_t> children;
    // The page's bytes its cells hold so far: a pointer to a cell met already, or into one, is
    // one the page's header lies about (two pointers to one cell would list its row twice).
    std::vector<bool> held;
    while (!stack.empty() && !(halted_ && *halted_)) {
        const std::uint32_t p = stack.back();
        stack.pop_back();
        if (!db_->contains(p) || pages_[p].role != PageRole::Unknown) continue;
        const auto bytes = window.page(p).page;
        const auto header = parseBtreePage(bytes, format::btreeHeaderOffset(p), usable);
        if (!header) continue;
        // A b-tree holds pages of one kind: a page of the other kind ends the branch.
        if (!tableTree) tableTree = header->table();
        if (header->table() != *tableTree) continue;
        pages_[p] = {root, 0, 0, roleOf(header->kind)};
        children.clear();
        held.assign(bytes.size(), false);
        for (std::uint32_t i = 0; i < header->cellCount; ++i) {
            const auto cell = readCell(bytes, *header, i, usable);
            if (!cell || cell->offset >= held.size() || held[cell->offset]) continue;
            const std::size_t end = std::min<std::size_t>(held.size(), cell->offset + cell->size);
            std::fill(held.begin() + cell->offset, held.begin() + static_cast<std::ptrdiff_t>(end),
                      true);
            if (cell->overflowPage != 0)
                claimOverflow(root, cell->payloadSize - cell->localSize, cell->overflowPage);
            if (!header->leaf()) children.push_back(cell->leftChild);
            if (header->kind != BtreeKind::TableLeaf) {
                if (onCell && indexCells_ && !header->table()) (*onCell)(*this, p, bytes, *cell);
                continue;
            }
            if (readSchema) readSchemaCell(bytes, *cell);
            if (onCell) (*onCell)(*this, p, bytes, *cell);
        }
        if (header->leaf()) continue;
        children.push_back(header->rightChild);
        window.expect(children);
        // Pushed in reverse so that the left-most child is walked first.
        stack.insert(stack.end(), children.rbegin(), children.rend());
    }
}

std::span<const std::uint8_t> PageMap::livePayload(std::span<const std::uint8_t> bytes,
                                                   const BtreeCell& cell,
                                                   std::vector<std::uint8_t>& scratch) const {
    return readPayload(
        *db_, bytes, cell, scratch, liveBudget_, [&](std::uint32_t p, std::uint32_t) {
            return role(p) == PageRole::Overflow && chainHead(p) == cell.overflowPage;
        });
}

void PageMap::readSchemaCell(std::span<const std::uint8_t> page, const BtreeCell& cell) {
    const auto payload = livePayload(page, cell, scratch_);
    RecordLayout layout;
    if (!decodeRecord(payload, layout, 5) || layout.columns < 4) return;
    const std::uint32_t encoding = db_->header().textEncoding;
    auto text = [&](std::uint32_t c) -> std::string {
        const std::uint64_t t = c < layout.columns ? layout.serialTypes[c] : 0;
        if (t < 13 || (t & 1) == 0) return {};
        const auto body = payload.subspan(layout.bodyOffsets[c], *serialBodySize(t));
        return textToUtf8(body, encoding);
    };
    SchemaEntry e{text(0), text(1), text(2), 0, text(4)};
    const std::uint64_t rootType = layout.serialTypes[3];
    if (rootType >= 1 && rootType <= 6) {
        const auto root = readBigEndian(payload, layout.bodyOffsets[3], *serialBodySize(rootType));
        if (root && *root <= 0xFFFFFFFFu) e.rootPage = static_cast<std::uint32_t>(*root);
    }
    schema_.push_back(std::move(e));
}

void PageMap::walkFreeList() {
    const std::uint32_t usable = db_->usableSize();
    std::uint32_t trunk = db_->header().freelistTrunk;
    while (db_->contains(trunk) && pages_[trunk].role == PageRole::Unknown) {
        const auto bytes = db_->page(trunk);
        if (bytes.size() < usable) return;
        // More leaves than a trunk can list: only those that fit are read.
        using format::kTrunkHeaderSize;
        const std::uint32_t leaves = std::min(*readBe32(bytes, 4), (usable - kTrunkHeaderSize) / 4);
        pages_[trunk] = {0, 0, kTrunkHeaderSize + 4 * leaves, PageRole::FreeTrunk};
        for (std::uint32_t i = 0; i < leaves; ++i) {
            const std::uint32_t leaf = *readBe32(bytes, kTrunkHeaderSize + 4 * i);
            if (db_->contains(leaf) && pages_[leaf].role == PageRole::Unknown)
                pages_[leaf].role = PageRole::FreeLeaf;
        }
        trunk = *readBe32(bytes, 0);
    }
}

std::uint32_t PageMap::tableRoot(std::string_view name) const {
    const std::string wanted = asciiLower(name);
    for (const SchemaEntry& e : schema_)
        if (e.type == "table" && asciiLower(e.name) == wanted) return e.rootPage;
    return 0;
}

void PageMap::unusedRanges(std::uint32_t page, std::vector<ByteRange>& out,
                           std::vector<BtreeCell>* cells) const {
    unusedRanges(page, db_->page(page), out, cells);
}

void PageMap::unusedRanges(std::uint32_t page, std::span<const std::uint8_t> bytes,
                           std::vector<ByteRange>& out, std::vector<BtreeCell>* cells) const {
    out.clear();
    if (cells) cells->clear();
    const std::uint32_t size = db_->pageSize();
    const PageInfo& p = info(page);
    switch (p.role) {
        case PageRole::Unknown:
        case PageRole::FreeLeaf: out.push_back({0, size}); return;
        case PageRole::FreeTrunk:
        case PageRole::Overflow:
            if (p.used < size) out.push_back({p.used, size});
            return;
        case PageRole::PointerMap:
        case PageRole::LockByte: return;
        default: break;
    }
    const std::uint32_t usable = db_->usableSize();
    const auto header = parseBtreePage(bytes, format::btreeHeaderOffset(page), usable);
    if (header) btreeUnusedRanges(bytes, *header, usable, out, cells, used_);
}

}  // namespace pc
