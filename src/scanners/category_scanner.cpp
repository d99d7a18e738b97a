#include "category_scanner.h"

#include <algorithm>
#include <optional>

#include "SQLiteTable3.h"
#include "ascii_case.h"
#include "cell_payload.h"
#include "copy_filter.h"
#include "database_image.h"
#include "database_pages.h"
#include "database_source.h"
#include "file_error.h"
#include "page_map.h"
#include "record_key.h"
#include "region_walk.h"
#include "utf8_check.h"

namespace pc {

namespace {

// What the map walk has read of the main file is handed back to the system every so often, so
// that a file of many gigabytes is mapped in little resident memory.
constexpr std::uint64_t kReleaseStride = 8u << 20;
// Pages between two event pumps where a loop has no page of its own to report.
constexpr std::uint32_t kPumpPages = 1024;

// Text no phone stores: C0 control bytes other than TAB, LF and CR. Carved records holding them are
// header shapes matched inside other bytes.
bool holdsControlBytes(std::span<const std::uint8_t> text) {
    return std::any_of(text.begin(), text.end(), [](std::uint8_t b) {
        return b < 0x20 && b != '\t' && b != '\n' && b != '\r';
    });
}

// Whether the texts among `columns` hold no bytes a phone does not store.
bool plainTexts(const CarvedRecord& record, std::span<const std::uint32_t> columns) {
    return std::none_of(columns.begin(), columns.end(), [&](std::uint32_t c) {
        return record.isText(c) && holdsControlBytes(record.body(c));
    });
}

// Whether the texts among `columns` are valid UTF-8 with no bytes a phone does not store.
bool validTexts(const CarvedRecord& record, std::span<const std::uint32_t> columns) {
    return std::all_of(columns.begin(), columns.end(), [&](std::uint32_t c) {
        if (!record.isText(c)) return true;
        const auto b = record.body(c);
        return isValidUtf8({reinterpret_cast<const char*>(b.data()), b.size()}) &&
               !holdsControlBytes(b);
    });
}

}  // namespace

// What one scan walks: the pages, their map and walk, the table's root, and the copy filter.
struct CategoryScanner::PageScan {
    PageScan(const DatabasePages& newest, const ColumnSignature& signature, SerialTypeSet refused,
             bool allCopies)
        : pages(newest), carver(signature, refused), copies(allCopies) {}

    DatabasePages pages;  // the newest state, as the map reads it
    std::optional<PageMap> map;
    std::optional<RegionWalk> walk;
    RecordCarver carver;
    CopyFilter copies;
    std::uint32_t root = 0;
    // Columns a live row is read up to: for its identity, for what the category shows.
    std::uint32_t identityColumns = 0;
    std::uint32_t wantedColumns = 0;

    // The region being carved, and its cells still to hand over: live rows on a leaf of the
    // table, rows as they once were on an older image of one (`historic`).
    const Region* region = nullptr;
    std::span<const BtreeCell> cells;
    std::size_t nextCell = 0;
    bool historic = false;
    std::vector<RecordKey> historicKeys;  // their keys among the live rows, by cell

    std::vector<std::uint8_t> payload;
    RecordLayout layout;

    // The copy keys of the deleted record examined last, known by its place and bytes.
    struct CopyKeys {
        SourceFile source = SourceFile::Main;
        std::uint64_t position = ~std::uint64_t{0};
        const std::uint8_t* bytes = nullptr;
        RecordKey live, deleted;
        bool of(const CarvedRecord& r) const {
            return r.position() == position && r.source() == source && r.bytes().data() == bytes;
        }
    } copyKeys;
};

CategoryScanner::CategoryScanner() = default;

std::vector<std::size_t> CategoryScanner::identity() const {
    std::vector<std::size_t> all(params().wanted.size());
    for (std::size_t i = 0; i < all.size(); ++i)
        all[i] = i;
    return all;
}
CategoryScanner::~CategoryScanner() = default;

ScanOutcome CategoryScanner::run(ScanEvents& events, ResultStore& store, ScanState& state,
                                 const RunPlan& run) {
    events_ = &events;
    store_ = &store;
    state_ = &state;
    found_ = deleted_ = 0;
    utcOffsetSeconds_ = run.utcOffsetSeconds;

    state.ScanHalted = 0;
    if (!run.keepCategoryRows) store.beginCategory(code());
    store.beginPart(code(), run.pathOf(code()));
    events.started(code());
    beginScan();

    ScanOutcome outcome;
    try {
        outcome = carveAll(run);
    } catch (const FileError& e) {
        outcome = endEarly(ScanFailure::Reason::Error, e.what());
    } catch (const ESQLiteException& e) {
        outcome = endEarly(ScanFailure::Reason::Error, e.what());
    }
    scan_.reset();
    if (outcome == ScanOutcome::Completed) {
        state.ScanHalted = 1;
        events.finished(code(), found_, deleted_);
    }
    return outcome;
}

ScanOutcome CategoryScanner::carveAll(const RunPlan& run) {
    const std::string& path = run.pathOf(code());
    const ImageLoad load = loadDatabaseImage(path);
    if (load.headerRead == SectorRead::OpenFailed)
        events_->noted({SourceNote::Kind::OpenFailed, path, 0, 0, 0, {}});
    if (load.headerRead != SectorRead::Ok || load.imageReadFailed)
        events_->noted({SourceNote::Kind::ReadFailed, path, 0, 0, 0, {}});
    if (!load.image) return endEarly(ScanFailure::Reason::NotADatabase);
    const DatabaseSource source(path, *load.image);
    noteSources(*load.image, source, *events_);

    std::string sql;
    std::vector<std::string> columns;
    {
        TSQLiteDatabase db(path, source.newest());
        chosen_ = chooseTable(db);
        if (!db.HasTable(params().table)) return endEarly(ScanFailure::Reason::MissingTable);
        readExtras(db);
        sql = db.TableSql(params().table);
        columns = db.TableColumns(params().table);
    }
    if (sql.empty() || !extrasUsable()) return endEarly(ScanFailure::Reason::EmptyDefinition);
    const ColumnSignature signature = buildSignature(sql, params());
    wanted_ = signature.wantedIndex;
    // Where SQLite cannot list the columns, live rows are read by the signature's items too.
    liveWanted_ = wanted_;
    if (!columns.empty()) {
        for (std::size_t w = 0; w < params().wanted.size(); ++w) {
            const auto at = std::find_if(columns.begin(), columns.end(), [&](const std::string& c) {
                return asciiLower(c) == params().wanted[w];
            });
            liveWanted_[w] =
                at == columns.end() ? 0 : static_cast<std::uint32_t>(at - columns.begin());
        }
    }
    identity_.clear();
    liveIdentity_.clear();
    for (std::size_t i : identity()) {
        identity_.push_back(wanted_[i]);
        liveIdentity_.push_back(liveWanted_[i]);
    }
    scanPages(*load.image, source, signature, run);
    afterCarve();
    return ScanOutcome::Completed;
}

void CategoryScanner::scanPages(const DatabaseImage& image, const DatabaseSource& source,
                                const ColumnSignature& signature, const RunPlan& run) {
    scan_ = std::make_unique<PageScan>(source.newest(), signature, profileOf(code()).refused,
                                       run.allCopies);
    PageScan& s = *scan_;
    for (std::uint32_t c : liveIdentity_)
        s.identityColumns = std::max(s.identityColumns, c + 1);
    for (std::uint32_t c : liveWanted_)
        s.wantedColumns = std::max(s.wantedColumns, c + 1);
    // Stale copies of a live row may lie anywhere before or after it, so every live row's key is
    // known before the first page is carved; the walk that maps the pages meets them all.
    std::uint64_t met = 0;
    LeafCellVisitor collect;
    if (!s.copies.allCopies())
        collect = [&](const PageMap& map, std::uint32_t page, std::span<const std::uint8_t> bytes,
                      const BtreeCell& cell) {
            if (met++ % kPumpPages == 0) pump();
            s.copies.addLive(
                recordKey(liveRecord(map, page, bytes, cell, s.identityColumns), liveIdentity_));
        };
    // The map reads the main file's pages through a buffer; what it touches of the mapping
    // (overflow chains, pages a read could not copy) is given back every so often.
    s.pages.releaseEvery(kReleaseStride);
    s.map.emplace(s.pages, params().table, collect, &state_->ScanHalted);
    s.pages.releaseEvery(0);
    s.copies.seal();
    s.root = s.map->tableRoot(params().table);

    // The first page holds the file header and the schema, never the table's rows.
    s.walk.emplace(image, source, *s.map);
    events_->progressRange(std::max(s.walk->regionCount(2), 1u), source.newest().pageSize());
    s.walk->run(*this, {*events_, state_->ScanHalted}, 2, 1);
}

void CategoryScanner::visit(const Region& r) {
    PageScan& s = *scan_;
    s.region = &r;
    s.nextCell = 0;
    s.cells = {};
    s.historic = false;
    const DatabasePages& pages = s.walk->newest();
    const CarvePage page{r.buffer, static_cast<std::uint64_t>(r.bytes.data() - r.buffer.data()),
                         pages.pageSize(), pages.usableSize()};
    const bool leafOfTable = s.map->isLeafOf(r.page, s.root);
    if (!r.older) {
        if (leafOfTable) s.cells = r.cells;
        for (const ByteRange& range : r.unused)
            s.carver.carveRange(page, range.begin, range.end, *this);
        emitCellsBefore(pages.pageSize());
        return;
    }
    // An older image of one of the table's leaves is read as the leaf it was: its cells are rows
    // as they once were, whole, and only the rest of it is carved. Any other is carved whole.
    if (!leafOfTable || !r.header || r.header->kind != BtreeKind::TableLeaf) {
        s.carver.carveRange(page, 0, pages.pageSize(), *this);
        return;
    }
    s.cells = r.cells;
    s.historic = true;
    // Most of its rows are still live, each known by a look-up in the live keys: all of the
    // page's keys are worked out first and their slots fetched together, not one wait at a time.
    s.historicKeys.clear();
    if (!s.copies.allCopies())
        for (const BtreeCell& cell : s.cells) {
            s.historicKeys.push_back(recordKey(historicRecord(cell), liveIdentity_));
            s.copies.prefetchLive(s.historicKeys.back());
        }
    for (const ByteRange& range : r.aroundCells)
        s.carver.carveRange(page, range.begin, range.end, *this);
    emitCellsBefore(pages.pageSize());
}

bool CategoryScanner::wantsFormerCells(const Region& r) const {
    return r.older && r.header && r.header->kind == BtreeKind::TableLeaf &&
           scan_->map->isLeafOf(r.page, scan_->root);
}

bool CategoryScanner::wantsLiveCells(std::uint32_t page) const {
    return scan_->map->isLeafOf(page, scan_->root);
}

CarvedRecord CategoryScanner::liveRecord(const PageMap& map, std::uint32_t page,
                                         std::span<const std::uint8_t> bytes, const BtreeCell& cell,
                                         std::uint32_t columns) {
    PageScan& s = *scan_;
    // The columns asked for usually lie in the page: the overflow chain is read only when not.
    std::span<const std::uint8_t> payload = bytes.subspan(cell.payloadStart, cell.localSize);
    bool decoded = decodeRecord(payload, s.layout, columns);
    if (cell.localSize < cell.payloadSize && (!decoded || s.layout.bodyEnd > cell.localSize)) {
        payload = map.livePayload(bytes, cell, s.payload);
        decoded = decodeRecord(payload, s.layout, columns);
    }
    if (!decoded) s.layout.columns = 0;
    CarvedRecord record(payload, s.layout);
    record.setPlace(s.pages.source(page), s.pages.fileOffset(page) + cell.payloadStart);
    record.setState(RecordState::Normal);
    record.setRowid(cell.rowid);
    return record;
}

void CategoryScanner::emitCellsBefore(std::uint64_t offsetInPage) {
    PageScan& s = *scan_;
    const Region& r = *s.region;
    while (s.nextCell < s.cells.size() && s.cells[s.nextCell].offset < offsetInPage) {
        const std::size_t index = s.nextCell++;
        const BtreeCell& cell = s.cells[index];
        if (!s.historic) {
            examine(liveRecord(*s.map, r.page, r.bytes, cell, s.wantedColumns), liveWanted_);
            continue;
        }
        // A row of an older image that is still live is known by its identity before any check.
        if (!s.copies.allCopies() && s.copies.isLive(s.historicKeys[index])) continue;
        const CarvedRecord record = historicRecord(cell);
        if (!s.copies.allCopies()) fetchCopyKeys(record, &s.historicKeys[index]);
        if (!plainTexts(record, liveWanted_)) continue;
        examine(record, liveWanted_);
    }
}

CarvedRecord CategoryScanner::historicRecord(const BtreeCell& cell) {
    PageScan& s = *scan_;
    const Region& r = *s.region;
    const auto local = r.bytes.subspan(cell.payloadStart, cell.localSize);
    bool decoded = decodeRecord(local, s.layout, s.wantedColumns);
    std::span<const std::uint8_t> payload = local;
    if (cell.localSize < cell.payloadSize && decoded && s.layout.bodyEnd > cell.localSize) {
        // Its overflow pages as they were, taken only where the texts go on.
        s.payload.assign(local.begin(), local.end());
        const bool whole =
            s.walk->gatherFormer(r, cell.overflowPage, cell.payloadSize - cell.localSize, s.payload,
                                 [&](std::span<const std::uint8_t> bytes) {
                                     return decodeRecord(bytes, s.layout, s.wantedColumns) &&
                                            validTexts(CarvedRecord(bytes, s.layout), liveWanted_);
                                 });
        if (whole) payload = s.payload;
        decoded = decodeRecord(payload, s.layout, s.wantedColumns);
    }
    if (!decoded) s.layout.columns = 0;
    CarvedRecord record(payload, s.layout);
    record.setPlace(r.source, r.fileOffset + cell.payloadStart);
    record.setState(RecordState::Deleted);
    record.setRowid(cell.rowid);
    return record;
}

void CategoryScanner::placeGathered(const CarvedRecord& record, const CarvedOverflow& overflow) {
    PageScan& s = *scan_;
    const RecordLayout& found = record.layout();
    s.layout.resize(found.columns);
    for (std::uint32_t c = 0; c < found.columns; ++c) {
        s.layout.serialTypes[c] = found.serialTypes[c];
        s.layout.bodyOffsets[c] = found.bodyOffsets[c] - overflow.payloadStart;
    }
    clipRecord(s.payload, s.layout, s.payload.size());
}

CarvedRecord CategoryScanner::completeCarved(const CarvedRecord& record,
                                             const CarvedOverflow& overflow) {
    PageScan& s = *scan_;
    if (overflow.localSize >= overflow.payloadSize) return record;
    const auto local = record.bytes().subspan(overflow.payloadStart, overflow.localSize);
    s.payload.assign(local.begin(), local.end());
    // A chain is only taken when its bytes go on with the texts that cross into it.
    auto continues = [&](std::span<const std::uint8_t>) {
        placeGathered(record, overflow);
        CarvedRecord whole(s.payload, s.layout);
        for (std::uint32_t c = 1; c < s.layout.columns; ++c) {
            const std::uint64_t end =
                s.layout.bodyOffsets[c] + *serialBodySize(s.layout.serialTypes[c]);
            if (end <= overflow.localSize || !whole.isText(c)) continue;
            const auto text = whole.body(c);
            const std::string_view view(reinterpret_cast<const char*>(text.data()), text.size());
            if (!isValidUtf8(view) || holdsControlBytes(text)) return false;
        }
        return true;
    };
    if (!s.walk->gatherFormer(*s.region, overflow.firstPage,
                              overflow.payloadSize - overflow.localSize, s.payload, continues))
        placeGathered(record, overflow);
    CarvedRecord complete(s.payload, s.layout);
    complete.setHeaderLength(record.headerLength());
    complete.setState(RecordState::Deleted);
    return complete;
}

CarveStep CategoryScanner::onRecord(const CarvedRecord& found, const CarvedOverflow& overflow) {
    const Region& r = *scan_->region;
    const std::uint64_t offsetInPage =
        found.position() - static_cast<std::uint64_t>(r.bytes.data() - found.bytes().data());
    emitCellsBefore(offsetInPage);
    CarvedRecord record = completeCarved(found, overflow);
    record.setPlace(r.source, r.fileOffset + offsetInPage);
    if (!plainTexts(record, wanted_)) return CarveStep::NextByte;
    fetchCopyKeys(record);
    return examine(record, wanted_);
}

void CategoryScanner::fetchCopyKeys(const CarvedRecord& record, const RecordKey* live) {
    PageScan& s = *scan_;
    if (s.copies.allCopies()) return;
    // A record read from a cell (it has a row id) is read by the table's own columns.
    const bool cell = record.rowid().has_value();
    PageScan::CopyKeys& k = s.copyKeys;
    k.source = record.source();
    k.position = record.position();
    k.bytes = record.bytes().data();
    k.live = live ? *live : recordKey(record, cell ? liveIdentity_ : identity_);
    k.deleted = recordKey(record, cell ? liveWanted_ : wanted_);
    s.copies.prefetch(k.live, k.deleted, !live);
}

bool CategoryScanner::firstCopy(const CarvedRecord& record) {
    PageScan& s = *scan_;
    if (record.state() == RecordState::Normal || s.copies.allCopies()) return true;
    if (!s.copyKeys.of(record)) fetchCopyKeys(record);
    // A stale copy of a live row, or a deleted row found again.
    return s.copies.firstDeleted(s.copyKeys.live, s.copyKeys.deleted);
}

std::string_view CategoryScanner::displayTime(std::int64_t ms, const JavaDateTime& utc8,
                                              FieldBuffer& buffer) const {
    return formatJavaTime(
        utcOffsetSeconds_ == kUtcPlus8 ? utc8 : javaDateTime(ms, utcOffsetSeconds_), buffer);
}

ScanOutcome CategoryScanner::endEarly(ScanFailure::Reason reason, std::string detail) {
    state_->ScanHalted = 1;
    events_->failed(code(), {reason, std::move(detail)});
    return ScanOutcome::EndedEarly;
}

CategoryScanner::TypeAndDate CategoryScanner::typeAndDate(const CarvedRecord& record,
                                                          std::uint32_t typeColumn,
                                                          std::uint32_t dateColumn,
                                                          std::int64_t firstYear,
                                                          std::int64_t lastYear) {
    TypeAndDate t{record.number(typeColumn), record.number(dateColumn)};
    if (t.date.kind == FieldNumber::Kind::Number) {
        t.when = javaDateTime(t.date.value);
        t.dateInRange = t.when.year >= firstYear && t.when.year <= lastYear;
    }
    return t;
}

}  // namespace pc
