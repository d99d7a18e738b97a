// The one walk under every search for deleted rows. It visits every page of the newest state in
// file order, then every older image of a page (a main-file page a log frame or journal record
// replaced, an earlier or uncommitted frame, a journal record), each as a region: its bytes with
// where they lie, what of it holds nothing live, and its cells in offset order (the live cells of
// a page the structures reach; the cells its own header still lists otherwise, rows as they once
// were). It holds the one policy for the overflow chains of cells and records, tells how far it
// is and stops when asked. What a region's bytes hold is its visitors' business: the category
// scan carves one table's records with its signature, the carve every table's with its shape.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "btree_page.h"
#include "cell_payload.h"
#include "database_pages.h"
#include "database_source.h"
#include "page_map.h"
#include "page_window.h"
#include "walk_events.h"

namespace pc {

struct Region {
    std::span<const std::uint8_t> bytes;   // the page image
    std::span<const std::uint8_t> buffer;  // the bytes around it, for reads that run past it
    SourceFile source = SourceFile::Main;
    std::uint64_t fileOffset = 0;  // of the image in its file
    // The page of the newest state; for an older image, the page it is an image of (0: unknown).
    std::uint32_t page = 0;
    bool older = false;
    // The newest state's structures reach the page (a b-tree, overflow, free-list trunk or
    // pointer-map page): `unused` and `cells` are theirs. A page they do not reach, a free-list
    // leaf, and every older image hold nothing live.
    bool reached = false;
    // The page's b-tree header: as the structures read it where they reach the page, else as its
    // own bytes read it (what it was, if anything).
    std::optional<BtreePage> header;
    // Ranges holding nothing live, in order: what a reached page's structure leaves unused, else
    // the whole page.
    std::span<const ByteRange> unused;
    // The cells by offset: a reached b-tree page's live cells, else those its own header lists.
    std::span<const BtreeCell> cells;
    // Where the page is not reached but its header reads: the ranges around the cells it lists.
    std::span<const ByteRange> aroundCells;
};

class RegionVisitor {
  public:
    virtual ~RegionVisitor() = default;
    virtual void visit(const Region& region) = 0;
    // Whether a region no structure reaches, whose own bytes read as `header`, is to have the
    // cells it lists read (`cells`, `aroundCells`); a visitor that reads only some says which.
    virtual bool wantsFormerCells(const Region& region) const {
        (void)region;
        return true;
    }
    // Whether page `page` of the newest state is to be visited at all: a visitor that looks only
    // at some pages spares the reading of the others.
    virtual bool wantsPage(std::uint32_t page) const {
        (void)page;
        return true;
    }
    // Whether page `page` of the newest state, a b-tree page, is to have its live cells listed.
    virtual bool wantsLiveCells(std::uint32_t page) const {
        (void)page;
        return true;
    }
};

// Whoever runs a walk: told how far it is through `events`; `halted` non-zero stops it before
// the next region.
struct WalkControl {
    WalkEvents& events;
    const std::uint8_t& halted;
};

class RegionWalk {
  public:
    // `image` is the main file as it is, `source` its newest state and older images, `map` the
    // newest state's structures; all outlive the walk.
    RegionWalk(const DatabaseImage& image, const DatabaseSource& source, const PageMap& map);

    const DatabasePages& newest() const { return newest_; }
    const PageMap& map() const { return *map_; }

    // Regions from page `firstPage` of the newest state on, then the older images.
    std::uint32_t regionCount(std::uint32_t firstPage) const;
    // Visits them in that order; progress indexes start at `firstIndex`. False when stopped.
    bool run(RegionVisitor& visitor, WalkControl control, std::uint32_t firstPage,
             std::uint32_t firstIndex = 0);

    // A former record of region `r` whose payload starts with the local part already in `out`
    // and went on at overflow page `first` for `rest` more bytes: its chain as it was (the main
    // file's pages, for an image of the main file), else through the newest state's overflow and
    // free pages, each taken only when `continues(out)` accepts what it gave. False, with `out`
    // back to the local part, when neither did.
    template <typename Continues>
    bool gatherFormer(const Region& r, std::uint32_t first, std::uint64_t rest,
                      std::vector<std::uint8_t>& out, Continues continues);

  private:
    void newestRegion(std::uint32_t page, const PageWindow::View& view,
                      const RegionVisitor& visitor);
    void olderRegion(const DatabaseSource::OldImage& image, const PageWindow::View& view,
                     const RegionVisitor& visitor);
    // The header and the cells the bytes of a region no structure reaches still hold.
    void formerStructure(std::uint32_t page, const RegionVisitor& visitor);

    const DatabaseSource* source_;
    DatabasePages newest_;  // the walk's own view: it gives back what it has read
    DatabasePages main_;    // the main file as it is
    const PageMap* map_;
    OverflowBudget budget_;
    Region region_;
    std::vector<ByteRange> unused_, around_, scratch_;
    std::vector<BtreeCell> cells_;
};

// Says what lay beside the database and what is missing of it.
void noteSources(const DatabaseImage& image, const DatabaseSource& source, WalkEvents& events);

template <typename Continues>
bool RegionWalk::gatherFormer(const Region& r, std::uint32_t first, std::uint64_t rest,
                              std::vector<std::uint8_t>& out, Continues continues) {
    const std::size_t local = out.size();
    auto tryChain = [&](const DatabasePages& pages, auto accept) {
        if (first == 0 || rest == 0) return false;
        followOverflow(pages, first, rest, &out, budget_, accept,
                       [](std::uint32_t, std::uint32_t) {});
        if (out.size() > local && continues(std::span<const std::uint8_t>(out))) return true;
        out.resize(local);
        return false;
    };
    if (r.older && r.source == SourceFile::Main &&
        tryChain(main_, [](std::uint32_t, std::uint32_t) { return true; }))
        return true;
    return tryChain(newest_, [this](std::uint32_t p, std::uint32_t) {
        const PageRole role = map_->role(p);
        return role == PageRole::Overflow || role == PageRole::FreeLeaf ||
               role == PageRole::FreeTrunk;
    });
}

}  // namespace pc
