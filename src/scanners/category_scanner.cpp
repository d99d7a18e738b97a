#include "category_scanner.h"

#include <algorithm>
#include <filesystem>
#include <optional>

#include "SQLiteTable3.h"
#include "ascii_case.h"
#include "cell_payload.h"
#include "database_image.h"
#include "database_pages.h"
#include "database_source.h"
#include "file_error.h"
#include "page_map.h"
#include "page_window.h"
#include "record_key.h"
#include "utf8_check.h"

namespace pc {

namespace {

// Pages the scan has passed are handed back to the system every so often, so that a file of many
// gigabytes is scanned in little resident memory.
constexpr std::uint64_t kReleaseStride = 64u << 20;
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

// What one scan walks: the pages, their map, the table's root, and the keys of its live rows.
struct CategoryScanner::PageScan {
    PageScan(const DatabaseImage& image, const DatabasePages& newest,
             const ColumnSignature& signature, SerialTypeSet refused, const RunGlobals& run)
        : pages(newest),
          mainPages(image),
          carver(signature, refused),
          allCopies(run.allCopies),
          budget(pages) {}

    DatabasePages pages;      // the newest state
    DatabasePages mainPages;  // the main file as it is
    std::optional<PageMap> map;
    RecordCarver carver;
    std::uint32_t root = 0;
    // Columns a live row is read up to: for its identity, for what the category shows.
    std::uint32_t identityColumns = 0;
    std::uint32_t wantedColumns = 0;
    bool allCopies;
    RecordKeySet liveKeys;
    RecordKeySet deletedKeys;
    OverflowBudget budget;

    // The page being scanned: its number in the newest state (0 for an older image), its bytes,
    // where they lie.
    std::uint32_t page = 0;
    std::span<const std::uint8_t> bytes;
    SourceFile source = SourceFile::Main;
    std::uint64_t fileOffset = 0;
    std::vector<BtreeCell> cells;         // of that page, by offset
    std::size_t nextLive = 0;             // the next of them to show, on a leaf of the table
    bool historic = false;                // an older image: its cells are rows as they once were
    std::vector<RecordKey> historicKeys;  // their keys among the live rows, by cell

    std::vector<ByteRange> ranges, rangeScratch;
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
                                 const RunGlobals& run) {
    events_ = &events;
    store_ = &store;
    state_ = &state;
    found_ = deleted_ = 0;
    utcOffsetSeconds_ = run.utcOffsetSeconds;

    state.ScanHalted = 0;
    events.started(code());
    store.beginCategory(code());
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

ScanOutcome CategoryScanner::carveAll(const RunGlobals& run) {
    const ImageLoad load = loadDatabaseImage(run.CurrentDbLongPath);
    if (load.headerRead == SectorRead::OpenFailed)
        events_->noted({SourceNote::Kind::OpenFailed, run.CurrentDbPath, 0, 0, 0, {}});
    if (load.headerRead != SectorRead::Ok || load.imageReadFailed)
        events_->noted({SourceNote::Kind::ReadFailed, run.CurrentDbPath, 0, 0, 0, {}});
    if (!load.image) return endEarly(ScanFailure::Reason::NotADatabase);
    const DatabaseSource source(run.CurrentDbLongPath, *load.image);
    reportSources(*load.image, source);

    std::string sql;
    std::vector<std::string> columns;
    {
        TSQLiteDatabase db(run.CurrentDbPath, source.newest());
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

void CategoryScanner::reportSources(const DatabaseImage& image, const DatabaseSource& source) {
    using Kind = SourceNote::Kind;
    if (image.missingPages() > 0)
        events_->noted({Kind::Incomplete,
                        {},
                        image.missingPages(),
                        0,
                        image.missingPages() * image.pageSize(),
                        {}});
    for (const DatabaseSource::SideFile* side : {&source.wal(), &source.journal()}) {
        if (!side->present) continue;
        const std::string name = std::filesystem::path(side->path).filename().string();
        if (!side->error.empty())
            events_->noted({Kind::Unreadable, name, 0, 0, 0, side->error});
        else if (!side->recognised)
            events_->noted({Kind::Unrecognised, name, 0, 0, 0, {}});
        else if (side == &source.wal())
            events_->noted({Kind::LogRead, name, side->images, side->committed, 0, {}});
        else
            events_->noted({Kind::JournalRead, name, side->images, 0, 0, {}});
        if (side->hot) events_->noted({Kind::HotJournal, name, 0, 0, 0, {}});
    }
}

void CategoryScanner::scanPages(const DatabaseImage& image, const DatabaseSource& source,
                                const ColumnSignature& signature, const RunGlobals& run) {
    const DatabasePages& newest = source.newest();
    const auto oldImages = static_cast<std::uint32_t>(source.oldImages().size());
    events_->progressRange(std::max(newest.pageCount(), 1u) - 1 + oldImages, newest.pageSize());
    scan_ = std::make_unique<PageScan>(image, newest, signature, refusedRequiredInt(), run);
    PageScan& s = *scan_;
    for (std::uint32_t c : liveIdentity_)
        s.identityColumns = std::max(s.identityColumns, c + 1);
    for (std::uint32_t c : liveWanted_)
        s.wantedColumns = std::max(s.wantedColumns, c + 1);
    // Stale copies of a live row may lie anywhere before or after it, so every live row's key is
    // known before the first page is carved; the walk that maps the pages meets them all.
    RecordKeyList liveKeys;
    LeafCellVisitor collect;
    if (!s.allCopies)
        collect = [&](const PageMap& map, std::uint32_t page, std::span<const std::uint8_t> bytes,
                      const BtreeCell& cell) {
            if (liveKeys.size() % kPumpPages == 0) pump();
            liveKeys.push_back(
                recordKey(liveRecord(map, page, bytes, cell, s.identityColumns), liveIdentity_));
        };
    // The walk and the carve read the main file's pages through a buffer; what they touch of its
    // mapping (overflow chains, pages a read could not copy) is given back every so often.
    s.pages.releaseEvery(kReleaseStride / 8);
    s.map.emplace(s.pages, params().table, collect);
    s.pages.releaseEvery(kReleaseStride);
    s.liveKeys.reserve(liveKeys.size());
    liveKeys.forEachBlock([&](std::span<const RecordKey> keys) { s.liveKeys.insertAll(keys); });
    liveKeys = {};
    s.root = s.map->tableRoot(params().table);

    // The first page holds the file header and the schema, never the table's rows.
    PageWindow window(s.pages, true);
    for (std::uint32_t page = 2; page <= s.pages.pageCount(); ++page) {
        if (!onPage(page - 1)) return;
        const PageWindow::View view = window.page(page);
        scanPage(page, view.page, view.buffer);
    }
    s.pages.releaseEvery(0);
    // Then every older image of a page, whole: what it held is deleted unless it is still live.
    s.pages.releaseBefore();
    std::uint32_t index = std::max(s.pages.pageCount(), 1u) - 1;
    for (const DatabaseSource::OldImage& image : source.oldImages()) {
        if (!onPage(index++)) return;
        const PageWindow::View view = window.at(image.source, image.offset);
        scanOldImage(image, view.page, view.buffer);
    }
}

void CategoryScanner::scanOldImage(const DatabaseSource::OldImage& image,
                                   std::span<const std::uint8_t> bytes,
                                   std::span<const std::uint8_t> buffer) {
    PageScan& s = *scan_;
    if (bytes.empty()) return;
    s.page = 0;
    s.bytes = bytes;
    s.source = image.source;
    s.fileOffset = image.offset;
    s.cells.clear();
    s.nextLive = 0;
    const CarvePage page{buffer, static_cast<std::uint64_t>(bytes.data() - buffer.data()),
                         s.pages.pageSize(), s.pages.usableSize()};
    // An older image of one of the table's leaves is read as the leaf it was: its cells are rows
    // as they once were, whole, and only the rest of it is carved.
    const auto header = s.map->isLeafOf(image.page, s.root)
                            ? parseBtreePage(s.bytes, 0, s.pages.usableSize())
                            : std::nullopt;
    if (!header || header->kind != BtreeKind::TableLeaf) {
        s.carver.carveRange(page, 0, s.pages.pageSize(), *this);
        return;
    }
    btreeUnusedRanges(s.bytes, *header, s.pages.usableSize(), s.ranges, &s.cells, s.rangeScratch);
    // Most of its rows are still live, each known by a look-up in the live keys: all of the
    // page's keys are worked out first and their slots fetched together, not one wait at a time.
    s.historicKeys.clear();
    if (!s.allCopies)
        for (const BtreeCell& cell : s.cells) {
            s.historicKeys.push_back(recordKey(historicRecord(cell), liveIdentity_));
            s.liveKeys.prefetch(s.historicKeys.back());
        }
    s.historic = true;
    for (const ByteRange& r : s.ranges)
        s.carver.carveRange(page, r.begin, r.end, *this);
    emitCellsBefore(s.pages.pageSize());
    s.historic = false;
}

void CategoryScanner::scanPage(std::uint32_t page, std::span<const std::uint8_t> bytes,
                               std::span<const std::uint8_t> buffer) {
    PageScan& s = *scan_;
    s.page = page;
    s.bytes = bytes;
    if (s.bytes.empty()) return;  // a page past the end of every file
    s.source = s.pages.source(page);
    s.fileOffset = s.pages.fileOffset(page);
    s.map->unusedRanges(page, s.bytes, s.ranges, &s.cells);
    s.nextLive = s.map->isLeafOf(page, s.root) ? 0 : s.cells.size();
    const CarvePage carvePage{buffer, static_cast<std::uint64_t>(s.bytes.data() - buffer.data()),
                              s.pages.pageSize(), s.pages.usableSize()};
    for (const ByteRange& r : s.ranges)
        s.carver.carveRange(carvePage, r.begin, r.end, *this);
    emitCellsBefore(s.pages.pageSize());
}

CarvedRecord CategoryScanner::liveRecord(const PageMap& map, std::uint32_t page,
                                         std::span<const std::uint8_t> bytes, const BtreeCell& cell,
                                         std::uint32_t columns) {
    PageScan& s = *scan_;
    // The columns asked for usually lie in the page: the overflow chain is read only when not.
    std::span<const std::uint8_t> payload = bytes.subspan(cell.payloadStart, cell.localSize);
    bool decoded = decodeRecord(payload, s.layout, columns);
    if (cell.localSize < cell.payloadSize && (!decoded || s.layout.bodyEnd > cell.localSize)) {
        payload = readPayload(
            s.pages, bytes, cell, s.payload, s.budget, [&](std::uint32_t p, std::uint32_t) {
                return map.role(p) == PageRole::Overflow && map.chainHead(p) == cell.overflowPage;
            });
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
    while (s.nextLive < s.cells.size() && s.cells[s.nextLive].offset < offsetInPage) {
        const std::size_t index = s.nextLive++;
        const BtreeCell& cell = s.cells[index];
        if (!s.historic) {
            examine(liveRecord(*s.map, s.page, s.bytes, cell, s.wantedColumns), liveWanted_);
            continue;
        }
        // A row of an older image that is still live is known by its identity before any check.
        if (!s.allCopies && s.liveKeys.contains(s.historicKeys[index])) continue;
        const CarvedRecord record = historicRecord(cell);
        if (!s.allCopies) fetchCopyKeys(record, &s.historicKeys[index]);
        if (!plainTexts(record, liveWanted_)) continue;
        examine(record, liveWanted_);
    }
}

CarvedRecord CategoryScanner::historicRecord(const BtreeCell& cell) {
    PageScan& s = *scan_;
    const auto local = s.bytes.subspan(cell.payloadStart, cell.localSize);
    bool decoded = decodeRecord(local, s.layout, s.wantedColumns);
    std::span<const std::uint8_t> payload = local;
    if (cell.localSize < cell.payloadSize && decoded && s.layout.bodyEnd > cell.localSize) {
        // Its overflow pages as they were: the main file's for an image of the main file, else
        // overflow and free pages of the newest state; taken only where the texts go on.
        const bool main = s.source == SourceFile::Main;
        payload = readPayload(main ? s.mainPages : s.pages, s.bytes, cell, s.payload, s.budget,
                              [&](std::uint32_t p, std::uint32_t) {
                                  const PageRole role = s.map->role(p);
                                  return main || role == PageRole::Overflow ||
                                         role == PageRole::FreeLeaf || role == PageRole::FreeTrunk;
                              });
        decoded = decodeRecord(payload, s.layout, s.wantedColumns);
        if (!decoded || !validTexts(CarvedRecord(payload, s.layout), liveWanted_)) {
            payload = local;
            decoded = decodeRecord(payload, s.layout, s.wantedColumns);
        }
    }
    if (!decoded) s.layout.columns = 0;
    CarvedRecord record(payload, s.layout);
    record.setPlace(s.source, s.fileOffset + cell.payloadStart);
    record.setState(RecordState::Deleted);
    record.setRowid(cell.rowid);
    return record;
}

CarvedRecord CategoryScanner::completeCarved(const CarvedRecord& record,
                                             const CarvedOverflow& overflow) {
    PageScan& s = *scan_;
    if (overflow.localSize >= overflow.payloadSize) return record;
    const RecordLayout& found = record.layout();
    const auto local = record.bytes().subspan(overflow.payloadStart, overflow.localSize);
    // The local part, then what a chain through `pages` gives while `accept` takes its pages.
    auto gather = [&](const DatabasePages* pages, auto accept) {
        s.payload.assign(local.begin(), local.end());
        if (pages && overflow.firstPage != 0)
            followOverflow(*pages, overflow.firstPage, overflow.payloadSize - overflow.localSize,
                           &s.payload, s.budget, accept, [](std::uint32_t, std::uint32_t) {});
        s.layout.resize(found.columns);
        for (std::uint32_t c = 0; c < found.columns; ++c) {
            s.layout.serialTypes[c] = found.serialTypes[c];
            s.layout.bodyOffsets[c] = found.bodyOffsets[c] - overflow.payloadStart;
        }
        clipRecord(s.payload, s.layout, s.payload.size());
    };
    // A chain is only taken when its bytes go on with the texts that cross into it.
    auto continues = [&] {
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
    // A record on an older image of the main file had its overflow pages in the main file too:
    // they are tried there first, then in the newest state, where only overflow and free pages
    // may hold them.
    if (s.source == SourceFile::Main && s.page == 0) {
        gather(&s.mainPages, [](std::uint32_t, std::uint32_t) { return true; });
        if (continues()) return completed(record);
    }
    gather(&s.pages, [&](std::uint32_t p, std::uint32_t) {
        const PageRole role = s.map->role(p);
        return role == PageRole::Overflow || role == PageRole::FreeLeaf ||
               role == PageRole::FreeTrunk;
    });
    if (!continues()) gather(nullptr, [](std::uint32_t, std::uint32_t) { return false; });
    return completed(record);
}

CarvedRecord CategoryScanner::completed(const CarvedRecord& found) {
    PageScan& s = *scan_;
    CarvedRecord complete(s.payload, s.layout);
    complete.setHeaderLength(found.headerLength());
    complete.setState(RecordState::Deleted);
    return complete;
}

CarveStep CategoryScanner::onRecord(const CarvedRecord& found, const CarvedOverflow& overflow) {
    PageScan& s = *scan_;
    const std::uint64_t offsetInPage =
        found.position() - static_cast<std::uint64_t>(s.bytes.data() - found.bytes().data());
    emitCellsBefore(offsetInPage);
    CarvedRecord record = completeCarved(found, overflow);
    record.setPlace(s.source, s.fileOffset + offsetInPage);
    if (!plainTexts(record, wanted_)) return CarveStep::NextByte;
    fetchCopyKeys(record);
    return examine(record, wanted_);
}

void CategoryScanner::fetchCopyKeys(const CarvedRecord& record, const RecordKey* live) {
    PageScan& s = *scan_;
    if (s.allCopies) return;
    // A record read from a cell (it has a row id) is read by the table's own columns.
    const bool cell = record.rowid().has_value();
    PageScan::CopyKeys& k = s.copyKeys;
    k.source = record.source();
    k.position = record.position();
    k.bytes = record.bytes().data();
    k.live = live ? *live : recordKey(record, cell ? liveIdentity_ : identity_);
    k.deleted = recordKey(record, cell ? liveWanted_ : wanted_);
    if (!live) s.liveKeys.prefetch(k.live);
    s.deletedKeys.prefetch(k.deleted);
}

bool CategoryScanner::firstCopy(const CarvedRecord& record) {
    PageScan& s = *scan_;
    if (record.state() == RecordState::Normal || s.allCopies) return true;
    if (!s.copyKeys.of(record)) fetchCopyKeys(record);
    // A stale copy of a live row, or a deleted row found again.
    if (s.liveKeys.contains(s.copyKeys.live)) return false;
    return s.deletedKeys.insert(s.copyKeys.deleted);
}

bool CategoryScanner::onPage(std::uint32_t pageIndex) {
    events_->pageReached(pageIndex);
    return state_->ScanHalted == 0;
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
