// What every page of a database is in its newest state, found by walking the structures the file
// itself describes: sqlite_master, every b-tree it names (interior and leaf pages, each cell's
// overflow chain), the free list (trunk and leaf pages) and the pointer-map pages. A page no walk
// reaches is Unknown. Every walk is bounded: a page is claimed once, so cycles and pages shared by
// two structures end a branch; page numbers outside the file and cells that do not fit their page
// are passed over; none of this ends the build.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "btree_page.h"
#include "cell_payload.h"
#include "database_pages.h"
#include "page_window.h"

namespace pc {

enum class PageRole : std::uint8_t {
    Unknown,
    TableInterior,
    TableLeaf,
    IndexInterior,
    IndexLeaf,
    Overflow,
    FreeTrunk,
    FreeLeaf,
    PointerMap,
    LockByte,
};

struct SchemaEntry {
    std::string type;  // "table", "index", "view", "trigger"
    std::string name;
    std::string tableName;
    std::uint32_t rootPage = 0;
    std::string sql;
};

class PageMap;

// Meets the cells of one table's leaf pages during the walk, in b-tree order, with the map as
// far as it is built: it knows the pages walked so far, the cell's overflow chain among them.
using LeafCellVisitor =
    std::function<void(const PageMap& map, std::uint32_t page, std::span<const std::uint8_t> bytes,
                       const BtreeCell& cell)>;

class PageMap {
  public:
    // Walks the structures of `pages`, which must outlive the map, showing `onCell` the leaf
    // cells of the table `watchedTable` as they are met.
    // The walk ends early, the map left as far as it got, once `halted` is non-zero.
    explicit PageMap(const DatabasePages& pages, std::string_view watchedTable = {},
                     const LeafCellVisitor& onCell = {}, const std::uint8_t* halted = nullptr);
    // The same, showing `onCell` the leaf cells of every table (owner() of the page tells which)
    // and every cell of every index b-tree (WITHOUT ROWID tables keep their rows there).
    struct EveryTable {};
    PageMap(const DatabasePages& pages, EveryTable, const LeafCellVisitor& onCell,
            const std::uint8_t* halted = nullptr);

    PageRole role(std::uint32_t page) const { return info(page).role; }
    // The root page of the b-tree that a b-tree or overflow page belongs to; 0 for other pages.
    std::uint32_t owner(std::uint32_t page) const { return info(page).owner; }
    // For an overflow page: the first page of its chain.
    std::uint32_t chainHead(std::uint32_t page) const { return info(page).head; }
    bool isLeafOf(std::uint32_t page, std::uint32_t root) const {
        return role(page) == PageRole::TableLeaf && owner(page) == root;
    }

    // The live rows of sqlite_master, in b-tree order.
    const std::vector<SchemaEntry>& schema() const { return schema_; }
    // The root page of the table `name` (ASCII letters compared without regard to case); 0 when
    // the schema has no such table.
    std::uint32_t tableRoot(std::string_view name) const;

    // The payload of a live cell (`bytes` its page's): its local part, and where it goes on, the
    // overflow chain the walk claimed for it, gathered into `scratch`. A chain cut short gives
    // what it holds.
    std::span<const std::uint8_t> livePayload(std::span<const std::uint8_t> bytes,
                                              const BtreeCell& cell,
                                              std::vector<std::uint8_t>& scratch) const;

    // Replaces `out` with the byte ranges of `page` that hold nothing live, in order: the free and
    // unallocated space of a b-tree page, what a free-list trunk or an overflow page does not use,
    // a whole free-list leaf or unknown page.
    // `cells`, when given, receives the cells of a b-tree page by their offsets.
    void unusedRanges(std::uint32_t page, std::vector<ByteRange>& out,
                      std::vector<BtreeCell>* cells = nullptr) const;
    // The same, of `bytes`, page `page`'s bytes as the caller has them.
    void unusedRanges(std::uint32_t page, std::span<const std::uint8_t> bytes,
                      std::vector<ByteRange>& out, std::vector<BtreeCell>* cells = nullptr) const;

  private:
    struct PageInfo {
        std::uint32_t owner = 0;
        std::uint32_t head = 0;
        std::uint32_t used = 0;  // overflow and trunk pages: bytes in use from the start
        PageRole role = PageRole::Unknown;
    };
    const PageInfo& info(std::uint32_t page) const {
        static const PageInfo kNone{};
        return page < pages_.size() ? pages_[page] : kNone;
    }
    void markFixedPages();
    void walkTree(std::uint32_t root, bool readSchema, const LeafCellVisitor* onCell,
                  PageWindow& window);
    bool indexCells_ = false;  // onCell sees index cells too
    const std::uint8_t* halted_ = nullptr;
    // The walk of every structure; `watched(root)` says whose leaf cells `onCell` sees.
    template <typename Watched>
    void walk(Watched watched, const LeafCellVisitor& onCell);
    void claimOverflow(std::uint32_t root, std::uint64_t wanted, std::uint32_t first);
    void readSchemaCell(std::span<const std::uint8_t> page, const BtreeCell& cell);
    void walkFreeList();

    const DatabasePages* db_;
    std::vector<PageInfo> pages_;  // by page number; entry 0 unused
    std::vector<SchemaEntry> schema_;
    std::vector<std::uint8_t> scratch_;
    mutable OverflowBudget liveBudget_;    // of livePayload: cells sharing a chain cannot loop long
    mutable std::vector<ByteRange> used_;  // scratch of unusedRanges
};

}  // namespace pc
