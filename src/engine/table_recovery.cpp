#include "table_recovery.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <map>
#include <regex>
#include <set>
#include <tuple>
#include <unordered_map>

#include "btree_page.h"
#include "cell_payload.h"
#include "database_image.h"
#include "database_source.h"
#include "page_map.h"
#include "table_carver.h"

namespace pc {

namespace {

// sqlite_master's columns, under a name SQLite lets a table have.
constexpr const char* kSchemaTable =
    "CREATE TABLE schema_entry(type text, name text, tbl_name text, rootpage integer, sql text)";

// A row's values hashed, to find a row met twice; equal hashes are then compared value by value.
std::uint64_t rowHash(std::size_t table, const std::vector<FieldValue>& values) {
    std::uint64_t h = table;
    auto mix = [&h](std::uint64_t x) { h ^= x + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2); };
    for (const FieldValue& v : values) {
        mix(v.index());
        if (const auto* i = std::get_if<std::int64_t>(&v)) mix(static_cast<std::uint64_t>(*i));
        if (const auto* d = std::get_if<double>(&v)) mix(std::bit_cast<std::uint64_t>(*d));
        if (const auto* t = std::get_if<std::string>(&v)) mix(std::hash<std::string>{}(*t));
        if (const auto* b = std::get_if<Blob>(&v))
            mix(std::hash<std::string_view>{}(
                {reinterpret_cast<const char*>(b->bytes.data()), b->bytes.size()}));
    }
    return h;
}

bool isFullTextTable(const std::string& sql) {
    static const std::regex kFts(R"(^\s*CREATE\s+VIRTUAL\s+TABLE\b[\s\S]*\bUSING\s+FTS[34]\b)",
                                 std::regex::icase);
    return std::regex_search(sql, kFts);
}

// "c0name" is column "name"; docid and other names stay as they are.
std::string fullTextColumnName(const std::string& stored) {
    std::size_t digits = 1;
    while (digits < stored.size() && std::isdigit(static_cast<unsigned char>(stored[digits])))
        ++digits;
    return stored.size() > digits && stored[0] == 'c' && digits > 1 ? stored.substr(digits)
                                                                    : stored;
}

// What a record holds beyond NULLs: text and blob bytes other than zeros (what secure_delete
// leaves), one for each number.
std::size_t contentBytes(const std::vector<FieldValue>& values) {
    std::size_t n = 0;
    for (const FieldValue& v : values) {
        if (const auto* t = std::get_if<std::string>(&v))
            n += t->size() - static_cast<std::size_t>(std::count(t->begin(), t->end(), '\0'));
        if (const auto* b = std::get_if<Blob>(&v))
            n += b->bytes.size() -
                 static_cast<std::size_t>(std::count(b->bytes.begin(), b->bytes.end(), 0));
        if (std::holds_alternative<std::int64_t>(v) || std::holds_alternative<double>(v)) ++n;
    }
    return n;
}

std::uint32_t valuesGiven(const std::vector<FieldValue>& values) {
    return static_cast<std::uint32_t>(std::count_if(values.begin(), values.end(), [](auto& v) {
        return !std::holds_alternative<std::monostate>(v);
    }));
}

// A record found for one table in one page or image, before the tables compete for its bytes.
struct Candidate {
    std::size_t table;
    FoundRecord record;
    bool wholeCell;   // read as a cell of a page that was a leaf: its bounds are the page's word
    bool ownerMatch;  // the page is (or was) a leaf of this table
};

// Better first: the record whose page says whose it is; a cell read whole; every value of its
// column's class; more serial types as the table's live rows have them; read rather than
// rebuilt; more values of their class; longer.
bool better(const Candidate& a, const Candidate& b, std::size_t columnsA, std::size_t columnsB) {
    auto rank = [](const Candidate& c, std::size_t columns) {
        return std::make_tuple(c.ownerMatch, c.wholeCell, c.record.typed == columns,
                               c.record.likeLive, !c.record.rebuilt, c.record.typed,
                               c.record.end - c.record.begin);
    };
    return rank(a, columnsA) > rank(b, columnsB);
}

class Recoverer {
  public:
    Recoverer(const std::string& path, const DatabaseImage& image, const RecoveryOptions& options)
        : source_(path, image),
          pages_(source_.newest()),
          options_(options),
          encoding_(pages_.header().textEncoding),
          usable_(pages_.usableSize()) {}

    Recovery run() {
        std::vector<std::pair<std::uint32_t, BtreeCell>> live;
        const PageMap map(pages_, PageMap::EveryTable{},
                          [&](const PageMap&, std::uint32_t page, std::span<const std::uint8_t>,
                              const BtreeCell& cell) { live.emplace_back(page, cell); });
        map_ = &map;
        readSchemaTables();
        findDroppedTables();
        // Carvers read records as stored; rows leave in the declared order.
        storedShapes_.reserve(out_.tables.size());
        for (const TableShape& t : out_.tables)
            storedShapes_.push_back(storedShape(t));
        for (const TableShape& t : storedShapes_)
            carvers_.emplace_back(t, encoding_);
        // sqlite_master's own deleted records compete for their bytes too, and are not rows.
        if (schemaShape_) carvers_.emplace_back(*schemaShape_, encoding_);
        liveRows_.reserve(live.size());
        for (const auto& [page, cell] : live)
            readLiveCell(page, cell);
        const std::vector<std::size_t> everyTable = allTables();
        std::vector<std::size_t> owners;
        forEachRegion([&](const Region& r) {
            // A live table's page holds that table's records (or, reused, a dropped table's):
            // only they compete there. Free pages and older images may hold anyone's.
            if (r.indexOnly) return;
            owners.clear();
            if (r.knownStructure && r.liveOwner) owners.push_back(*r.liveOwner);
            if (!owners.empty() && r.owner && *r.owner != owners[0]) owners.push_back(*r.owner);
            carveRegion(r, owners.empty() ? everyTable : owners);
        });
        if (options_.progress) options_.progress(regionsDone_, regionsDone_);
        return std::move(out_);
    }

  private:
    // Bytes to look for deleted records in: a page of the newest state or an older image.
    struct Region {
        std::span<const std::uint8_t> bytes;  // the page
        SourceFile source;
        std::uint64_t fileOffset;
        std::uint32_t headerOffset;            // 100 on page 1
        std::optional<std::size_t> owner;      // the table whose leaf it is or was
        std::optional<std::size_t> liveOwner;  // the live table whose b-tree holds it now
        std::vector<ByteRange> unused;         // from the page map; empty: the page's own word
        bool knownStructure;                   // the page map says what the page is now
        bool btree;                            // it is a b-tree page now, or may have been one
        bool indexOnly = false;  // a page of an index, now or once: its bytes are keys, not rows
    };

    std::vector<std::size_t> allTables() const {
        std::vector<std::size_t> all(carvers_.size());
        for (std::size_t i = 0; i < all.size(); ++i)
            all[i] = i;
        return all;
    }

    void readSchemaTables() {
        std::set<std::string> fullText;
        for (const SchemaEntry& e : map_->schema())
            if (e.type == "table" && isFullTextTable(e.sql)) fullText.insert(e.name);
        for (const SchemaEntry& e : map_->schema()) {
            if (e.type != "table" || e.rootPage < 2 || e.name.rfind("sqlite_", 0) == 0) continue;
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
            rootTable_[e.rootPage] = out_.tables.size();
            out_.tables.push_back(std::move(*shape));
        }
    }

    // sqlite_master's deleted records that created a table no live entry names.
    void findDroppedTables() {
        schemaShape_ = tableShape(kSchemaTable);
        if (!schemaShape_) return;
        const TableCarver carver(*schemaShape_, encoding_);
        std::set<std::string> names;
        for (const TableShape& t : out_.tables)
            names.insert(t.name);
        forEachRegion([&](const Region& r) {
            for (const Candidate& c : candidatesOf(r, carver, 0, false)) {
                const auto* type = std::get_if<std::string>(&c.record.values[0]);
                const auto* name = std::get_if<std::string>(&c.record.values[1]);
                const auto* sql = std::get_if<std::string>(&c.record.values[4]);
                if (!type || !name || !sql || *type != "table" || names.count(*name)) continue;
                auto shape = tableShape(*sql);
                if (!shape) continue;
                shape->name = *name;
                shape->dropped = true;
                names.insert(*name);
                if (const auto* root = std::get_if<std::int64_t>(&c.record.values[3]))
                    claimFormerPages(*root, out_.tables.size());
                out_.tables.push_back(std::move(*shape));
            }
        });
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

    void readLiveCell(std::uint32_t page, const BtreeCell& cell) {
        const auto it = rootTable_.find(map_->owner(page));
        if (it == rootTable_.end()) return;
        OverflowBudget budget(pages_);
        const auto payload = readPayload(pages_, pages_.page(page), cell, scratch_, budget,
                                         [&](std::uint32_t p, std::uint32_t) {
                                             return map_->role(p) == PageRole::Overflow &&
                                                    map_->chainHead(p) == cell.overflowPage;
                                         });
        auto record = carvers_[it->second].readRecord(payload, cell.rowid);
        if (!record) return;
        carvers_[it->second].learn(record->types);
        // Index b-tree cells (WITHOUT ROWID tables) have no row id.
        const bool tableCell = map_->role(page) == PageRole::TableLeaf;
        toDeclaredOrder(out_.tables[it->second], record->values);
        RecoveredRow row{it->second,
                         RecordState::Normal,
                         pages_.source(page),
                         pages_.fileOffset(page) + cell.offset,
                         tableCell ? std::optional(cell.rowid) : std::nullopt,
                         std::move(record->values)};
        liveRows_.emplace(rowHash(row.table, row.values), out_.rows.size());
        out_.rows.push_back(std::move(row));
    }

    template <typename F>
    void forEachRegion(F&& visit) {
        const std::uint32_t pageSize = pages_.pageSize();
        // Two passes over every region: sqlite_master's deleted records, then every table's.
        const std::uint64_t total =
            2 * (std::uint64_t{pages_.pageCount()} + source_.oldImages().size());
        auto f = [&](const Region& r) {
            visit(r);
            if (options_.progress && ++regionsDone_ % 256 == 0)
                options_.progress(regionsDone_, total);
        };
        std::vector<ByteRange> unused;
        for (std::uint32_t p = 1; p <= pages_.pageCount(); ++p) {
            const auto bytes = pages_.page(p);
            if (bytes.empty()) continue;
            const PageRole role = map_->role(p);
            const bool known = role != PageRole::Unknown && role != PageRole::FreeLeaf;
            if (known) map_->unusedRanges(p, unused);
            const bool btree = !known || role == PageRole::TableLeaf ||
                               role == PageRole::TableInterior || role == PageRole::IndexLeaf ||
                               role == PageRole::IndexInterior;
            const auto liveOwner = liveOwnerOf(p);
            const std::uint32_t header = format::btreeHeaderOffset(p);
            const bool keys =
                known
                    ? (role == PageRole::IndexLeaf || role == PageRole::IndexInterior) && !liveOwner
                    : keysOnly(bytes, header, ownerOf(p));
            f(Region{bytes, pages_.source(p), pages_.fileOffset(p), header, ownerOf(p), liveOwner,
                     known ? unused : std::vector<ByteRange>{}, known, btree, keys});
        }
        for (const DatabaseSource::OldImage& image : source_.oldImages()) {
            const auto file = source_.file(image.source);
            if (image.offset + pageSize > file.size()) continue;
            const auto bytes = file.subspan(image.offset, pageSize);
            const std::uint32_t header = format::btreeHeaderOffset(image.page);
            f(Region{bytes,
                     image.source,
                     image.offset,
                     header,
                     ownerOf(image.page),
                     std::nullopt,
                     {},
                     false,
                     true,
                     keysOnly(bytes, header, ownerOf(image.page))});
        }
    }

    // A page whose header says it was an index's holds keys, not rows, unless it was a page of
    // a WITHOUT ROWID table (whose index b-tree holds its rows).
    bool keysOnly(std::span<const std::uint8_t> bytes, std::uint32_t header,
                  std::optional<std::size_t> owner) const {
        if (header >= bytes.size() ||
            (bytes[header] != format::kIndexInterior && bytes[header] != format::kIndexLeaf))
            return false;
        return !owner || out_.tables[*owner].stored.empty();
    }

    std::optional<std::size_t> ownerOf(std::uint32_t page) const {
        if (const auto former = formerOwner_.find(page); former != formerOwner_.end())
            return former->second;
        return liveOwnerOf(page);
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

    // Every record of table `table` the region may hold.
    std::vector<Candidate> candidatesOf(const Region& r, const TableCarver& carver,
                                        std::size_t table, bool ownerMatch) {
        std::vector<Candidate> out;
        const auto header =
            r.btree ? parseBtreePage(r.bytes, r.headerOffset, usable_) : std::nullopt;
        // A page whose structure the map does not vouch for but that reads as a table leaf was
        // one: its cells are rows as they were.
        if (!r.knownStructure && header && header->kind == BtreeKind::TableLeaf)
            readFormerCells(r, *header, carver, table, ownerMatch, out);
        std::vector<ByteRange> ranges = r.unused;
        std::vector<ByteRange> freeblocks;
        if (header) {
            freeblocks = freeblocksOf(r.bytes, *header, usable_);
            if (!r.knownStructure) {
                std::vector<ByteRange> scratch;
                btreeUnusedRanges(r.bytes, *header, usable_, ranges, nullptr, scratch);
            }
        } else if (!r.knownStructure) {
            ranges = {{r.headerOffset, usable_}};
        }
        std::vector<FoundRecord> found;
        for (const ByteRange& range : ranges)
            carver.findRecords(r.bytes, range.begin, range.end, found);
        std::vector<std::uint32_t> starts;
        for (const FoundRecord& f : found)
            starts.push_back(f.begin);
        for (const ByteRange& range : ranges)
            carver.rebuildMarked(r.bytes, range.begin, range.end, starts, found);
        for (const ByteRange& fb : freeblocks) {
            auto rebuilt = carver.rebuildFreeblock(r.bytes, fb.begin, fb.end, starts);
            std::move(rebuilt.begin(), rebuilt.end(), std::back_inserter(found));
            // From its end too: a chain broken by one cell still gives the cells after it.
            carver.rebuildMarked(r.bytes, fb.begin, fb.end, starts, found);
        }
        for (FoundRecord& f : found)
            out.push_back({table, std::move(f), false, ownerMatch});
        return out;
    }

    void readFormerCells(const Region& r, const BtreePage& header, const TableCarver& carver,
                         std::size_t table, bool ownerMatch, std::vector<Candidate>& out) {
        for (std::uint32_t i = 0; i < header.cellCount; ++i) {
            const auto cell = readCell(r.bytes, header, i, usable_);
            if (!cell) continue;
            const auto local = r.bytes.subspan(cell->payloadStart, cell->localSize);
            auto record = carver.readRecord(local, cell->rowid);
            if (!record) continue;
            record->begin = cell->offset;
            record->header = cell->payloadStart;
            record->end = cell->offset + cell->size;
            out.push_back({table, std::move(*record), true, ownerMatch});
        }
    }

    // The tables compete for the region's bytes: each stretch goes to the best record found there.
    void carveRegion(const Region& r, const std::vector<std::size_t>& tables) {
        std::vector<Candidate> all;
        for (std::size_t t : tables) {
            auto found = candidatesOf(r, carvers_[t], t, r.owner && *r.owner == t);
            // Where no page says whose records lie here, a short record fits some table almost
            // anywhere: only records with every value of its column's class and most values of
            // the serial types the table's live rows use there.
            // Anywhere, a record of a single byte or number is more likely chance than a row.
            std::erase_if(found, [&](const Candidate& c) {
                if (contentBytes(c.record.values) < 2) return true;
                return !r.owner && (c.record.typed < carvers_[t].shape().columns.size() ||
                                    c.record.likeLive * 2 < valuesGiven(c.record.values));
            });
            std::move(found.begin(), found.end(), std::back_inserter(all));
        }
        if (!r.owner) keepLikelyOwner(all);
        std::sort(all.begin(), all.end(), [&](const Candidate& a, const Candidate& b) {
            return better(a, b, carvers_[a.table].shape().columns.size(),
                          carvers_[b.table].shape().columns.size());
        });
        std::vector<ByteRange> taken;
        std::vector<const Candidate*> kept;
        for (const Candidate& c : all) {
            const bool overlaps = std::any_of(taken.begin(), taken.end(), [&](const ByteRange& t) {
                return c.record.begin < t.end && t.begin < c.record.end;
            });
            if (overlaps) continue;
            taken.push_back({c.record.begin, c.record.end});
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
    void keepLikelyOwner(std::vector<Candidate>& all) const {
        std::map<std::size_t, int> whole;
        for (const Candidate& c : all)
            if (c.wholeCell && c.table < out_.tables.size()) ++whole[c.table];
        if (whole.empty()) return;
        const auto best = std::max_element(whole.begin(), whole.end(),
                                           [](auto& a, auto& b) { return a.second < b.second; });
        const int most = best->second;
        if (std::count_if(whole.begin(), whole.end(), [&](auto& w) { return w.second == most; }) >
            1)
            return;
        const std::size_t owner = best->first;
        std::erase_if(all, [&](const Candidate& c) {
            return c.table != owner && c.table < out_.tables.size();
        });
    }

    void keepDeleted(const Region& r, const Candidate& c) {
        if (c.table >= out_.tables.size()) return;  // a schema entry
        std::vector<FieldValue> values = c.record.values;
        toDeclaredOrder(out_.tables[c.table], values);
        const std::uint64_t hash = rowHash(c.table, values);
        if (!options_.allCopies) {
            if (listed(liveRows_, hash, c.table, values) ||
                listed(deletedRows_, hash, c.table, values))
                return;
            deletedRows_.emplace(hash, out_.rows.size());
        }
        out_.rows.push_back({c.table, RecordState::Deleted, r.source, r.fileOffset + c.record.begin,
                             c.record.rowid, std::move(values)});
    }

    // Whether a row of `table` with these values is among `rows` (listed rows by hash).
    bool listed(const std::unordered_multimap<std::uint64_t, std::size_t>& rows, std::uint64_t hash,
                std::size_t table, const std::vector<FieldValue>& values) const {
        const auto [from, to] = rows.equal_range(hash);
        return std::any_of(from, to, [&](const auto& entry) {
            const RecoveredRow& row = out_.rows[entry.second];
            return row.table == table && row.values == values;
        });
    }

    DatabaseSource source_;
    const DatabasePages& pages_;
    RecoveryOptions options_;
    std::uint32_t encoding_;
    std::uint32_t usable_;
    const PageMap* map_ = nullptr;
    std::map<std::uint32_t, std::size_t> rootTable_;
    std::map<std::uint32_t, std::size_t> formerOwner_;  // free pages a dropped table left
    std::optional<TableShape> schemaShape_;
    std::vector<TableShape> storedShapes_;  // the tables' columns as records store them
    std::vector<TableCarver> carvers_;      // one per table, then sqlite_master's
    std::unordered_multimap<std::uint64_t, std::size_t> liveRows_, deletedRows_;  // into out_.rows
    std::vector<std::uint8_t> scratch_;
    std::uint64_t regionsDone_ = 0;
    Recovery out_;
};

}  // namespace

Recovery recoverTables(const std::string& path, const RecoveryOptions& options) {
    const ImageLoad load = loadDatabaseImage(path);
    if (!load.image) throw NotADatabase(path + ": not an SQLite 3 database");
    return Recoverer(path, *load.image, options).run();
}

}  // namespace pc
