#include "table_recovery.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <deque>
#include <map>
#include <regex>
#include <set>
#include <tuple>

#include "btree_page.h"
#include "copy_filter.h"
#include "database_image.h"
#include "database_source.h"
#include "header_prefilter.h"
#include "page_map.h"
#include "record_key.h"
#include "region_walk.h"
#include "sqlite_format.h"
#include "table_carver.h"
#include "virtual_tables.h"

namespace pc {

namespace {

// sqlite_master's columns, under a name SQLite lets a table have.
constexpr const char* kSchemaTable =
    "CREATE TABLE schema_entry(type text, name text, tbl_name text, rootpage integer, sql text)";

bool isVirtualTable(const std::string& sql) {
    static const std::regex kVirtual(R"(^\s*CREATE\s+VIRTUAL\s+TABLE\b)", std::regex::icase);
    return std::regex_search(sql, kVirtual);
}

bool isFullTextTable(const std::string& sql) {
    static const std::regex kFts(R"(^\s*CREATE\s+VIRTUAL\s+TABLE\b[\s\S]*\bUSING\s+FTS[34]\b)",
                                 std::regex::icase);
    return std::regex_search(sql, kFts);
}

// Whether `bytes` may hold a schema entry's CREATE text: SQLite writes every one starting with
// the word in capitals, in the database's encoding.
bool mayHoldCreate(std::span<const std::uint8_t> bytes, std::uint32_t encoding) {
    static constexpr std::string_view kUtf8 = "CREATE";
    static constexpr std::string_view kUtf16le{"C\0R\0E\0A\0T\0E\0", 12};
    static constexpr std::string_view kUtf16be{"\0C\0R\0E\0A\0T\0E", 12};
    const std::string_view word = encoding == 2 ? kUtf16le : encoding == 3 ? kUtf16be : kUtf8;
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return text.find(word) != std::string_view::npos;
}

// A record found for one table in one page or image, before the tables compete for its bytes.
struct Candidate {
    std::size_t table;
    FoundRecord record;
    bool wholeCell;   // read as a cell of a page that was a leaf: its bounds are the page's word
    bool ownerMatch;  // the page is (or was) a leaf of this table
    // An older image of a page of this table now: whose it was is more likely this table's than
    // another's that fits as well.
    bool hinted = false;
};

// Better first: the record whose page says whose it is; a cell read whole; one that holds every
// column of its table; every value of its column's class; more serial types as the table's live
// rows have them; read rather than rebuilt; more values of their class; longer.
bool better(const Candidate& a, const Candidate& b, std::size_t columnsA, std::size_t columnsB) {
    auto rank = [](const Candidate& c, std::size_t columns) {
        return std::make_tuple(c.ownerMatch, c.wholeCell, c.record.allColumns,
                               c.record.typed == columns, c.hinted, c.record.likeLive,
                               !c.record.rebuilt, c.record.typed, c.record.end - c.record.begin);
    };
    return rank(a, columnsA) > rank(b, columnsB);
}

class TableCarve : private RegionVisitor {
  public:
    TableCarve(const std::string& path, const DatabaseImage& image, CarveEvents& events,
               const RecoveryOptions& options, const std::uint8_t& halted)
        : image_(image),
          source_(path, image),
          pages_(source_.newest()),
          events_(events),
          halted_(halted),
          copies_(options.allCopies),
          encoding_(pages_.header().textEncoding),
          usable_(pages_.usableSize()) {}

    CarveResult run() {
        noteSources(image_, source_, events_);
        const std::uint32_t pageCount = pages_.pageCount();
        // The map's walk, then two walks over every region: sqlite_master's deleted records,
        // then every table's.
        const std::uint32_t regions =
            pageCount + static_cast<std::uint32_t>(source_.oldImages().size());
        events_.progressRange(std::max(pageCount + 2 * regions, 1u), pages_.pageSize());
        const PageMap map(
            pages_, PageMap::EveryTable{},
            [this](const PageMap& m, std::uint32_t page, std::span<const std::uint8_t> bytes,
                   const BtreeCell& cell) { liveCell(m, page, bytes, cell); },
            &halted_);
        map_ = &map;
        readSchemaTables();
        if (halted_ != 0) return {true};
        copies_.seal();
        RegionWalk walk(image_, source_, map);
        WalkControl control{events_, halted_};
        SchemaPass schema(*this);
        if (!walk.run(schema, control, 1, pageCount)) return {true};
        if (!walk.run(*this, control, 1, pageCount + regions)) return {true};
        noteUnreached();
        events_.pageReached(pageCount + 2 * regions);
        return {};
    }

  private:
    // The pass that finds sqlite_master's deleted records: the tables dropped from the schema.
    struct SchemaPass : RegionVisitor {
        explicit SchemaPass(TableCarve& c) : carve(c) {}
        void visit(const Region& r) override { carve.findDroppedTables(r); }
        bool wantsFormerCells(const Region& r) const override {
            return mayHoldCreate(r.bytes, carve.encoding_);
        }
        // sqlite_master's deleted records lie in its own pages, pages no live table holds and
        // older images: the pages of live tables, most of a file, are not read for them.
        bool wantsPage(std::uint32_t page) const override {
            const PageRole role = carve.map_->role(page);
            const bool taken = role == PageRole::TableLeaf || role == PageRole::TableInterior ||
                               role == PageRole::IndexLeaf || role == PageRole::IndexInterior ||
                               role == PageRole::Overflow;
            return !taken || carve.map_->owner(page) == 1;
        }
        TableCarve& carve;
    };

    std::size_t tableCount() const { return tables_.size(); }
    const TableCarver& carverOf(std::size_t t) const {
        return t < carvers_.size() ? carvers_[t] : *schemaCarver_;
    }
    std::size_t columnsOf(std::size_t t) const { return carverOf(t).shape().columns.size(); }

    // A new table, announced; its carver reads records as stored, rows leave in declared order.
    void addTable(TableShape shape) {
        tables_.push_back(std::move(shape));
        stored_.push_back(storedShape(tables_.back()));
        carvers_.emplace_back(stored_.back(), encoding_);
        prefilter_.reset();
        events_.tableFound(tables_.size() - 1, tables_.back());
    }

    void readSchemaTables() {
        if (schemaRead_) return;
        schemaRead_ = true;
        std::set<std::string> fullText;
        for (const SchemaEntry& e : map_->schema()) {
            if (e.type == "table" && isFullTextTable(e.sql)) fullText.insert(e.name);
            if (e.type == "table" && e.rootPage == 0) events_.virtualTableFound(e.name, e.sql);
        }
        for (const SchemaEntry& e : map_->schema()) {
            if (e.type != "table" || e.name.rfind("sqlite_", 0) == 0) continue;
            // A table whose root page the schema no longer names right (0, past the end): its
            // records are still looked for in the pages no structure reaches.
            const bool rooted = e.rootPage >= 2 && e.rootPage <= pages_.pageCount();
            if (!rooted && e.rootPage == 0 && isVirtualTable(e.sql)) continue;
            if (!rooted) events_.noted({SourceNote::Kind::BadRoot, e.name, e.rootPage, 0, 0, {}});
            auto shape = tableShape(e.sql);
            if (!shape) continue;
            shape->name = e.name;
            // An FTS3/FTS4 table's rows are its "_content" table's, column i named "c<i>name":
            // shown under the table's own name and columns.
            constexpr std::string_view kContent = "_content";
            if (e.name.ends_with(kContent)) {
                const std::string owner = e.name.substr(0, e.name.size() - kContent.size());
                if (fullText.count(owner)) {
                    shape->name = owner;
                    for (ColumnShape& c : shape->columns)
                        c.name = fullTextColumnName(c.name);
                }
            }
            if (rooted) rootTable_[e.rootPage] = tables_.size();
            addTable(std::move(*shape));
        }
        schemaShape_ = tableShape(kSchemaTable);
        if (schemaShape_) schemaCarver_.emplace(*schemaShape_, encoding_);
    }

    // A live cell met by the map's walk: its row leaves at once, and its key stays.
    void liveCell(const PageMap& map, std::uint32_t page, std::span<const std::uint8_t> bytes,
                  const BtreeCell& cell) {
        map_ = &map;
        readSchemaTables();
        if (page != lastLivePage_) {
            lastLivePage_ = page;
            events_.pageReached(std::min(++livePages_, pages_.pageCount()));
        }
        const auto it = rootTable_.find(map.owner(page));
        if (it == rootTable_.end()) return;
        const std::size_t t = it->second;
        // Index b-tree cells (WITHOUT ROWID tables) have no row id.
        const bool tableCell = map.role(page) == PageRole::TableLeaf;
        const std::optional<std::int64_t> rowid =
            tableCell ? std::optional(cell.rowid) : std::nullopt;
        const auto payload = map.livePayload(bytes, cell, scratch_);
        if (!carvers_[t].readLive(payload, rowid, values_)) return;
        const RowKeys keys = rowKeys(t, values_.values());
        copies_.addLive(keys.loose);
        if (keys.exact) copies_.addLive(*keys.exact);
        events_.rowFound({t, RecordState::Normal, pages_.source(page),
                          pages_.fileOffset(page) + cell.offset, rowid, values_.values()});
    }

    // sqlite_master's deleted records in `r` that created a table no table found so far names.
    void findDroppedTables(const Region& r) {
        if (!schemaCarver_ || !mayHoldCreate(r.bytes, encoding_)) return;
        beginRegion(r);
        const std::size_t schema[] = {tableCount()};
        candidatesOf(r, schema, {}, perTable_);
        for (const Candidate& c : perTable_[0]) {
            schemaCarver_->values(bytes_, c.record, values_);
            const auto v = values_.values();
            using Kind = ValueView::Kind;
            if (v[0].kind != Kind::Text || v[1].kind != Kind::Text || v[4].kind != Kind::Text ||
                v[0].bytes != "table")
                continue;
            const std::string name(v[1].bytes);
            // A table of the schema now (an FTS table's content table goes by its table's name).
            const auto& live = map_->schema();
            if (std::any_of(tables_.begin(), tables_.end(),
                            [&](const TableShape& t) { return t.name == name; }) ||
                std::any_of(live.begin(), live.end(),
                            [&](const SchemaEntry& e) { return e.name == name; }))
                continue;
            auto shape = tableShape(v[4].bytes);
            if (!shape) continue;
            shape->name = name;
            shape->dropped = true;
            if (v[3].kind == Kind::Integer) claimFormerPages(v[3].integer, tables_.size());
            addTable(std::move(*shape));
        }
    }

    // A dropped table's pages went to the free list as they were: its root, and the children
    // its root still names when it was an interior page, are known to have been its own.
    void claimFormerPages(std::int64_t root, std::size_t table) {
        if (root < 2 || root > pages_.pageCount()) return;
        const auto page = static_cast<std::uint32_t>(root);
        formerOwner_.emplace(page, table);
        const auto bytes = pages_.page(page);
        const auto header = parseBtreePage(bytes, 0, usable_);
        if (!header || header->kind != BtreeKind::TableInterior) return;
        for (std::uint32_t i = 0; i < header->cellCount; ++i)
            if (const auto cell = readCell(bytes, *header, i, usable_))
                formerOwner_.emplace(cell->leftChild, table);
        formerOwner_.emplace(header->rightChild, table);
    }

    // What a region is to the tables: whose page it is or was, and whether its bytes are keys.
    struct Place {
        std::optional<std::size_t> owner;      // the table whose leaf it is or was
        std::optional<std::size_t> liveOwner;  // the live table whose b-tree holds it now
        std::optional<std::size_t> hint;       // for an older image: the page's table now
        bool indexOnly = false;  // a page of an index, now or once: its bytes are keys, not rows
    };

    // The region's b-tree header where it can be believed: the structures reach the page, or
    // every cell it lists can be read (bytes that merely start like a header list cells that
    // cannot be).
    static std::optional<BtreePage> trustedHeader(const Region& r) {
        if (r.reached || (r.header && r.cells.size() == r.header->cellCount)) return r.header;
        return std::nullopt;
    }

    Place placeOf(const Region& r) const {
        Place p;
        // An older image may be of a page another table held then (auto-vacuum moves pages
        // about): its own cells say whose it was, not the page's owner now.
        p.owner = r.older ? formerOwnerOf(r.page) : ownerOf(r.page);
        if (r.older && !p.owner) p.hint = liveOwnerOf(r.page);
        if (r.reached) {
            p.liveOwner = liveOwnerOf(r.page);
            const PageRole role = map_->role(r.page);
            p.indexOnly =
                (role == PageRole::IndexLeaf || role == PageRole::IndexInterior) && !p.liveOwner;
            return p;
        }
        // A page whose header says it was an index's holds keys, not rows, unless it was a page
        // of a WITHOUT ROWID table (whose index b-tree holds its rows).
        const auto header = trustedHeader(r);
        const bool indexPage = header && (header->kind == BtreeKind::IndexInterior ||
                                          header->kind == BtreeKind::IndexLeaf);
        p.indexOnly = indexPage && (!p.owner || tables_[*p.owner].stored.empty());
        return p;
    }

    std::optional<std::size_t> ownerOf(std::uint32_t page) const {
        if (const auto former = formerOwnerOf(page)) return former;
        return liveOwnerOf(page);
    }

    std::optional<std::size_t> formerOwnerOf(std::uint32_t page) const {
        const auto former = formerOwner_.find(page);
        return former == formerOwner_.end() ? std::nullopt : std::optional(former->second);
    }

    std::optional<std::size_t> liveOwnerOf(std::uint32_t page) const {
        // Interior pages too: a root that grew into one keeps the cells it had as a leaf.
        const PageRole role = map_->role(page);
        if (role != PageRole::TableLeaf && role != PageRole::TableInterior &&
            role != PageRole::IndexLeaf && role != PageRole::IndexInterior)
            return std::nullopt;
        const auto it = rootTable_.find(map_->owner(page));
        return it == rootTable_.end() ? std::nullopt : std::optional(it->second);
    }

    // What the region's bytes say of UTF-8 texts, worked out once for every table's search.
    const TextIndex* text() const { return indexTexts_ ? &text_ : nullptr; }
    // Starts the search of a region: the bytes its records may lie in, and what they say of
    // texts. In a page nothing vouches for (a file whose pages no longer line up with what its
    // header says, say), records may run on past the page's end: the bytes after it are read
    // with it.
    void beginRegion(const Region& r) {
        bytes_ = r.bytes;
        const bool loose = !r.reached && !trustedHeader(r) && !r.older;
        if (loose && r.buffer.data() <= r.bytes.data()) {
            const auto at = static_cast<std::size_t>(r.bytes.data() - r.buffer.data());
            bytes_ = r.buffer.subspan(at, std::min(r.buffer.size() - at, 2 * r.bytes.size()));
        }
        if (encoding_ <= 1) text_.reset(bytes_);
    }

    // The live cells are rows read already, by the map's walk.
    bool wantsLiveCells(std::uint32_t) const override { return false; }

    void visit(const Region& r) override {
        const Place place = placeOf(r);
        if (place.indexOnly) return;
        beginRegion(r);
        // A live table's page holds that table's records (or, reused, a dropped table's): only
        // they compete there. Free pages and older images may hold anyone's.
        owners_.clear();
        if (r.reached && place.liveOwner) owners_.push_back(*place.liveOwner);
        if (!owners_.empty() && place.owner && *place.owner != owners_[0])
            owners_.push_back(*place.owner);
        if (owners_.empty())
            for (std::size_t t = 0; t <= tableCount(); ++t)
                owners_.push_back(t);
        carveRegion(r, place, owners_);
    }

    // The tables' headers looked for all at once: every table's, then sqlite_master's.
    const HeaderPrefilter& prefilter() {
        if (!prefilter_) {
            std::vector<const TableCarver*> all;
            for (std::size_t t = 0; t <= tableCount(); ++t)
                if (t < tableCount() || schemaCarver_) all.push_back(&carverOf(t));
            prefilter_.emplace(all);
        }
        return *prefilter_;
    }

    // Every record of each of `tables` the region may hold: those of tables[i] in out[i].
    void candidatesOf(const Region& r, std::span<const std::size_t> tables, const Place& place,
                      std::vector<std::vector<Candidate>>& out) {
        out.assign(tables.size(), {});
        const std::optional<BtreePage> header = trustedHeader(r);
        const ByteRange whole{format::btreeHeaderOffset(r.page), usable_};
        const std::span<const ByteRange> ranges = r.reached ? r.unused
                                                  : header  ? r.aroundCells
                                                            : std::span<const ByteRange>(&whole, 1);
        // Zeroed bytes (what secure_delete and fresh pages hold) hold no record.
        std::vector<bool> blank;
        std::uint64_t searched = 0;
        for (const ByteRange& range : ranges) {
            const auto bytes = r.bytes.subspan(range.begin, range.end - range.begin);
            blank.push_back(
                std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; }));
            searched += blank.back() ? 0 : bytes.size();
        }
        // The texts of a few candidates in a page's small gaps are cheaper read than indexed.
        indexTexts_ = encoding_ <= 1 && searched * 4 >= r.bytes.size();
        wanted_.assign(tableCount() + 1, false);
        rules_.assign(tableCount() + 1, {});
        strict_.assign(tableCount() + 1, false);
        slot_.resize(tableCount() + 1);
        for (std::size_t i = 0; i < tables.size(); ++i) {
            const std::size_t t = tables[i];
            wanted_[t] = true;
            slot_[t] = i;
            // A page whose structure the map does not vouch for but that reads as a table leaf
            // was one: its cells are rows as they were.
            if (!r.reached && header && header->kind == BtreeKind::TableLeaf)
                readFormerCells(r, carverOf(t), t, place, out[i]);
            // sqlite_master's own records are taken wherever they fit.
            rules_[t].apply = place.owner != t && place.hint != t && t < tableCount();
            strict_[t] = rules_[t].apply;
            rules_[t].formerLeaf = std::any_of(out[i].begin(), out[i].end(), [](auto& c) {
                return c.wholeCell && c.record.content >= 2;
            });
        }
        std::vector<std::vector<FoundRecord>> found(tables.size());
        for (std::size_t k = 0; k < ranges.size(); ++k) {
            if (blank[k]) continue;
            const ByteRange range = ranges[k];
            // A range that ends the page may have records running on past it.
            const bool runsOn = bytes_.size() > r.bytes.size() && range.end >= usable_;
            const auto limit = runsOn ? static_cast<std::uint32_t>(bytes_.size()) : range.end;
            prefilter().search(bytes_, range.begin, range.end, limit, wanted_, strict_,
                               [&](std::uint32_t pos, std::size_t t) {
                                   carverOf(t).recordAt(bytes_, range.begin, limit, pos,
                                                        found[slot_[t]], text(), rules_[t]);
                               });
        }
        // Freed cells lie in b-tree pages, now or once: a page that reads as one, a free-list
        // page, an older image. In a page nothing vouches for, bytes that merely look like
        // their headers abound. Where their headers lie is the same for every table.
        const bool freedCellsMayLie = header || r.reached || r.older;
        RecordEnds freed(0, static_cast<std::uint32_t>(r.bytes.size()));
        for (std::size_t k = 0; k < ranges.size(); ++k)
            if (!blank[k] && freedCellsMayLie)
                freed.addFreedCells(r.bytes, ranges[k].begin, ranges[k].end);
        const std::vector<ByteRange> freeblocks =
            header ? freeblocksOf(r.bytes, *header, usable_) : std::vector<ByteRange>{};
        for (std::size_t i = 0; i < tables.size(); ++i) {
            const std::size_t t = tables[i];
            const TableCarver& carver = carverOf(t);
            const bool ownerMatch = place.owner == t;
            std::vector<std::uint32_t> starts;
            for (const FoundRecord& f : found[i])
                starts.push_back(f.begin);
            for (std::size_t k = 0; k < ranges.size(); ++k)
                if (!blank[k] && freedCellsMayLie)
                    carver.rebuildMarked(r.bytes, ranges[k].begin, ranges[k].end, starts, found[i],
                                         text(), &freed);
            for (const ByteRange& fb : freeblocks) {
                auto rebuilt =
                    carver.rebuildFreeblock(r.bytes, fb.begin, fb.end, starts, text(), &freed);
                std::move(rebuilt.begin(), rebuilt.end(), std::back_inserter(found[i]));
                // From its end too: a chain broken by one cell still gives the cells after it.
                carver.rebuildMarked(r.bytes, fb.begin, fb.end, starts, found[i], text(), &freed);
            }
            for (FoundRecord& f : found[i])
                out[i].push_back({t, std::move(f), false, ownerMatch, place.hint == t});
        }
    }

    void readFormerCells(const Region& r, const TableCarver& carver, std::size_t table,
                         const Place& place, std::vector<Candidate>& out) const {
        for (const BtreeCell& cell : r.cells) {
            const auto local = r.bytes.subspan(cell.payloadStart, cell.localSize);
            auto record = carver.readRecord(local, cell.rowid);
            if (!record) continue;
            // Its bytes are the page's, from the cell on.
            record->body += cell.payloadStart;
            record->limit += cell.payloadStart;
            record->begin = cell.offset;
            record->header = cell.payloadStart;
            record->end = cell.offset + cell.size;
            out.push_back(
                {table, std::move(*record), true, place.owner == table, place.hint == table});
        }
    }

    // The tables compete for the region's bytes: each stretch goes to the best record found there.
    void carveRegion(const Region& r, const Place& place, const std::vector<std::size_t>& tables) {
        std::vector<Candidate> all;
        candidatesOf(r, tables, place, perTable_);
        for (std::size_t i = 0; i < tables.size(); ++i) {
            const std::size_t t = tables[i];
            std::vector<Candidate>& found = perTable_[i];
            std::erase_if(found, [&](const Candidate& c) {
                return !carverOf(t).acceptable(c.record, c.wholeCell, rules_[t]);
            });
            std::move(found.begin(), found.end(), std::back_inserter(all));
        }
        if (!place.owner) keepLikelyOwner(all, place.hint);
        std::sort(all.begin(), all.end(), [&](const Candidate& a, const Candidate& b) {
            return better(a, b, columnsOf(a.table), columnsOf(b.table));
        });
        // Each stretch of bytes to one record: the bytes taken, a bit each.
        RecordEnds taken(0, static_cast<std::uint32_t>(bytes_.size()));
        std::vector<const Candidate*> kept;
        for (const Candidate& c : all) {
            if (taken.next(c.record.begin, c.record.end) < c.record.end) continue;
            taken.addAll(c.record.begin, c.record.end);
            kept.push_back(&c);
        }
        std::sort(kept.begin(), kept.end(), [](const Candidate* a, const Candidate* b) {
            return a->record.begin < b->record.begin;
        });
        for (const Candidate* c : kept)
            keepDeleted(r, *c);
    }

    // A page no structure vouches for was most likely a leaf of the one table whose cells it
    // still holds whole: the other tables' records there are chance fits. Two tables that fit
    // the same cells leave it undecided.
    void keepLikelyOwner(std::vector<Candidate>& all, std::optional<std::size_t> hint) const {
        // Whole cells count; those that hold every column of the table count more (a table
        // with many columns fits the shorter records of another, as SQLite allows).
        std::map<std::size_t, int> whole;
        for (const Candidate& c : all)
            if (c.wholeCell && c.table < tableCount())
                whole[c.table] += c.record.allColumns ? 2 : 1;
        if (whole.empty()) return;
        const auto best = std::max_element(whole.begin(), whole.end(),
                                           [](auto& a, auto& b) { return a.second < b.second; });
        const int most = best->second;
        std::size_t owner = best->first;
        if (std::count_if(whole.begin(), whole.end(), [&](auto& w) { return w.second == most; }) >
            1) {
            // Tables that fit as well: the one whose page it is now, if it is among them.
            if (!hint || !whole.count(*hint) || whole.at(*hint) != most) return;
            owner = *hint;
        }
        std::erase_if(
            all, [&](const Candidate& c) { return c.table != owner && c.table < tableCount(); });
    }

    // The table leaves nothing reaches, said once: how many, and the first of them.
    void noteUnreached() {
        if (unreachedPages_.empty()) return;
        std::string pages;
        std::size_t shown = 0;
        for (const std::uint32_t p : unreachedPages_) {
            if (shown++ == 10) {
                pages += " ...";
                break;
            }
            pages += (pages.empty() ? "" : " ") + std::to_string(p);
        }
        events_.noted({SourceNote::Kind::Unreached, {}, unreachedPages_.size(), 0, 0, pages});
    }

    void keepDeleted(const Region& r, const Candidate& c) {
        if (c.table >= tableCount()) return;  // a schema entry
        carverOf(c.table).values(bytes_, c.record, values_);
        if (!firstCopy(c.table, values_.values())) return;
        // A whole cell of a table leaf that neither the b-trees nor the free list reach (its
        // parent's pointer altered, its root misnamed): a live row the structures hide.
        const bool unreached = c.wholeCell && !r.reached && !r.older &&
                               map_->role(r.page) == PageRole::Unknown && r.header &&
                               r.header->kind == BtreeKind::TableLeaf;
        if (unreached) unreachedPages_.insert(r.page);
        events_.rowFound({c.table, unreached ? RecordState::Normal : RecordState::Deleted, r.source,
                          r.fileOffset + c.record.begin, c.record.rowid, values_.values(),
                          unreached});
    }

    // A row's keys: by its values without the row id, and, for a table whose INTEGER PRIMARY
    // KEY holds it, by them with the row id where it is known.
    struct RowKeys {
        RecordKey loose;
        std::optional<RecordKey> exact;
    };
    RowKeys rowKeys(std::size_t t, std::span<const ValueView> values) const {
        const int key = tables_[t].rowidColumn;
        if (key < 0) return {valuesKey(t, values), std::nullopt};
        const RecordKey loose = valuesKey(t, values, key);
        const ValueView& rowid = values[static_cast<std::size_t>(key)];
        if (rowid.kind != ValueView::Kind::Integer) return {loose, {}};
        return {loose, extendedKey(loose, static_cast<std::uint64_t>(rowid.integer))};
    }

    // Whether a deleted row is the first copy of its row. A copy whose row id is known is a copy
    // only of a row with that row id, or of one kept without a row id; one whose row id is gone
    // is a copy of any row with its other values. A table without an INTEGER PRIMARY KEY keeps
    // the row id out of its values: its rows are told apart by those alone.
    bool firstCopy(std::size_t t, std::span<const ValueView> values) {
        const RowKeys k = rowKeys(t, values);
        if (tables_[t].rowidColumn < 0) return copies_.firstDeleted(k.loose, k.loose);
        // Kept without a row id: known under a key of its own as well.
        const RecordKey withoutRowid{k.loose.a ^ 0x2545F4914F6CDD1Dull, k.loose.b + 1};
        if (!k.exact) {
            const RecordKey keep[] = {k.loose, withoutRowid};
            return copies_.firstDeleted({&k.loose, 1}, {&k.loose, 1}, keep);
        }
        const RecordKey seen[] = {*k.exact, withoutRowid};
        const RecordKey keep[] = {*k.exact, k.loose};
        return copies_.firstDeleted({&*k.exact, 1}, seen, keep);
    }

    const DatabaseImage& image_;
    DatabaseSource source_;
    DatabasePages pages_;
    CarveEvents& events_;
    const std::uint8_t& halted_;
    CopyFilter copies_;
    std::uint32_t encoding_;
    std::uint32_t usable_;
    const PageMap* map_ = nullptr;
    bool schemaRead_ = false;
    std::uint32_t lastLivePage_ = 0;
    std::uint32_t livePages_ = 0;
    std::map<std::uint32_t, std::size_t> rootTable_;
    std::map<std::uint32_t, std::size_t> formerOwner_;
    std::set<std::uint32_t> unreachedPages_;  // table leaves nothing reaches, rows found there  //
                                              // free pages a dropped table left
    // Announced tables and their shapes as records store them; never moved once announced.
    std::deque<TableShape> tables_, stored_;
    std::vector<TableCarver> carvers_;  // by table
    std::optional<TableShape> schemaShape_;
    std::optional<TableCarver> schemaCarver_;  // sqlite_master's own records compete too
    std::vector<std::size_t> owners_;
    std::vector<std::uint8_t> scratch_;
    RowValues values_;
    std::span<const std::uint8_t> bytes_;  // the current region's, as far as its records may run
    TextIndex text_;
    bool indexTexts_ = false;  // the current region's texts are judged through text_
    std::optional<HeaderPrefilter> prefilter_;
    std::vector<bool> wanted_, strict_;
    std::vector<StrangerRules> rules_;  // by table, for the region being searched
    std::vector<std::size_t> slot_;
    std::vector<std::vector<Candidate>> perTable_;
};

// Keeps every row, values copied.
class Collector : public CarveEvents {
  public:
    void noted(const SourceNote&) override {}
    void progressRange(std::uint32_t, std::uint32_t) override {}
    void pageReached(std::uint32_t) override {}
    void idle() override {}
    void tableFound(std::size_t, const TableShape& table) override {
        recovery.tables.push_back(table);
    }
    void rowFound(const RecoveredRowView& row) override {
        std::vector<FieldValue> values;
        values.reserve(row.values.size());
        for (const ValueView& v : row.values)
            values.push_back(toFieldValue(v));
        recovery.rows.push_back({row.table, row.state, row.source, row.offset, row.rowid,
                                 std::move(values), row.unreached});
    }
    Recovery recovery;
};

}  // namespace

CarveResult carveTables(const std::string& path, CarveEvents& events,
                        const RecoveryOptions& options, const std::uint8_t& halted) {
    const ImageLoad load = loadDatabaseImage(path);
    if (!load.image) throw NotADatabase(path + ": not an SQLite 3 database");
    VirtualTableRows shown(events, options.allTables);
    const CarveResult result = TableCarve(path, *load.image, shown, options, halted).run();
    shown.finish();
    return result;
}

Recovery recoverTables(const std::string& path, const RecoveryOptions& options) {
    Collector collector;
    const std::uint8_t running = 0;
    carveTables(path, collector, options, running);
    return std::move(collector.recovery);
}

}  // namespace pc
