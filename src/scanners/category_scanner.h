// The one skeleton of every category scan: start, load the image, build the signature, read the
// table's live rows and carve its deleted ones, end; and the early ends. A category supplies its
// table parameters, its record checks and the rows it stores.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "btree_page.h"
#include "category_profile.h"
#include "column_signature.h"
#include "database_source.h"
#include "record_carver.h"
#include "region_walk.h"
#include "result_store.h"
#include "run_plan.h"
#include "scan_events.h"

namespace pc {

class TSQLiteDatabase;
class PageMap;
class DatabaseImage;
struct RecordKey;

enum class ScanOutcome { Completed, EndedEarly };

class CategoryScanner : private CarveVisitor, private RegionVisitor {
  public:
    CategoryScanner();
    ~CategoryScanner() override;
    ScanOutcome run(ScanEvents& events, ResultStore& store, ScanState& state, const RunPlan& run);
    virtual CategoryCode code() const = 0;

  protected:
    // The table this category carves and its rules: the profile's, unless chooseTable picked
    // another the category knows.
    const SignatureParams& params() const {
        return chosen_ ? *chosen_ : profileOf(code()).signature;
    }
    // Picks the table of this file before it is looked for (a vendor's own table for the same
    // rows); nullptr keeps the profile's.
    virtual const SignatureParams* chooseTable(TSQLiteDatabase&) { return nullptr; }
    // Extra reads on the open database, between the table check and its definition.
    virtual void readExtras(TSQLiteDatabase&) {}
    // Whether what was read allows a scan; false ends it as if the definition were empty.
    virtual bool extrasUsable() const { return true; }
    virtual void beginScan() {}
    // The positions of the wanted columns in a record: wanted[i] for the i-th name of the
    // signature's wanted list, 0 when the table has no such column.
    using Wanted = std::span<const std::uint32_t>;
    // Checks one record and keeps what passes. A live row (state normal) is kept whatever its
    // values hold: the checks are there to tell carved records from bytes that merely look like
    // one. Records arrive in the order of their place in the file, each copy of a row once (every
    // copy with --all-copies).
    virtual CarveStep examine(const CarvedRecord& record, Wanted wanted) = 0;
    virtual void afterCarve() {}
    // The scan's work between its start and its end: the table's live rows and carved ones. A
    // store whose rows join several tables does its own.
    virtual ScanOutcome carveAll(const RunPlan& run);
    ScanOutcome endEarly(ScanFailure::Reason reason, std::string detail = {});
    ScanEvents& events() { return *events_; }
    const ScanState& scanState() const { return *state_; }
    // The wanted columns (by their place in the wanted list) whose values tell one row from
    // another: a carved record that has a live row's values there is a copy of it, even where a
    // later cell overwrote the rest of it. All of them unless a category says otherwise.
    virtual std::vector<std::size_t> identity() const;

    // Whether `record` is the first copy of its row the scan meets: a live row always is; a carved
    // record is not when it is a copy of a live row or of a deleted row already kept. Asked only
    // of records a category is about to keep, so that a row its checks refuse is never counted
    // as kept; the keys it looks up were worked out before the checks (fetchCopyKeys).
    bool firstCopy(const CarvedRecord& record);
    // Stores a row found as `found`, shows it and counts it; a later copy of a row is passed over.
    template <typename Record>
    void keep(const CarvedRecord& found, Record record) {
        if (firstCopy(found)) keep(std::move(record));
    }
    // Stores a row made of several records (a contact), shows it and counts it.
    template <typename Record>
    void keep(Record record) {
        const RecordState state = record.state;
        events_->rowKept(code(), store_->append(std::move(record)), state);
        ++found_;
        if (state == RecordState::Deleted) ++deleted_;
    }
    // Lets whoever runs the scan show it and take events during long loops without pages.
    void pump() { events_->idle(); }
    // A Java millisecond time as the run shows dates: UTC+8 unless it asks for another offset.
    // `utc8` is the same time taken apart in UTC+8, as the checks already did.
    std::string_view displayTime(std::int64_t ms, const JavaDateTime& utc8,
                                 FieldBuffer& buffer) const;
    static Provenance provenance(const CarvedRecord& r) { return {r.position(), r.source()}; }
    // A record's type and date columns, the date taken apart in UTC+8 and whether its year lies
    // in [firstYear, lastYear].
    struct TypeAndDate {
        FieldNumber type, date;
        JavaDateTime when{};
        bool dateInRange = false;
    };
    static TypeAndDate typeAndDate(const CarvedRecord& record, std::uint32_t typeColumn,
                                   std::uint32_t dateColumn, std::int64_t firstYear,
                                   std::int64_t lastYear);

  private:
    struct PageScan;

    CarveStep onRecord(const CarvedRecord& record, const CarvedOverflow& overflow) override;
    void visit(const Region& region) override;
    // Only an older image of one of the table's leaves is read as the leaf it was.
    bool wantsFormerCells(const Region& region) const override;
    // The live cells of the table's leaves only: they are its rows.
    bool wantsLiveCells(std::uint32_t page) const override;

    void scanPages(const DatabaseImage& image, const DatabaseSource& source,
                   const ColumnSignature& signature, const RunPlan& run);
    // Hands over the cells of the region before `offsetInPage`: live rows on a leaf of the
    // table, rows as they once were on an older image of one.
    void emitCellsBefore(std::uint64_t offsetInPage);
    // A cell of an older image, read as the row it was.
    CarvedRecord historicRecord(const BtreeCell& cell);
    // A live cell of the table on `page`, read up to column `columns` - 1.
    CarvedRecord liveRecord(const PageMap& map, std::uint32_t page,
                            std::span<const std::uint8_t> bytes, const BtreeCell& cell,
                            std::uint32_t columns);
    // A carved record whose payload went on to overflow pages, with what its chain gives.
    CarvedRecord completeCarved(const CarvedRecord& record, const CarvedOverflow& overflow);
    // The layout of `record` placed in the gathered payload, cut to what it holds.
    void placeGathered(const CarvedRecord& record, const CarvedOverflow& overflow);
    // The keys firstCopy looks up for a deleted record, worked out before the category's checks
    // and their slots fetched meanwhile: the look-ups then seldom wait on memory. `live`, when
    // given, is the record's key among the live rows, already known.
    void fetchCopyKeys(const CarvedRecord& record, const RecordKey* live = nullptr);
    const SignatureParams* chosen_ = nullptr;
    ScanEvents* events_ = nullptr;
    ResultStore* store_ = nullptr;
    ScanState* state_ = nullptr;
    // Wanted columns of carved records (the signature's items) and of live rows (the table's
    // real columns, which a comma inside a column's definition does not shift).
    std::vector<std::uint32_t> wanted_;
    std::vector<std::uint32_t> liveWanted_;
    std::vector<std::uint32_t> identity_;  // of carved records
    std::vector<std::uint32_t> liveIdentity_;
    std::int64_t utcOffsetSeconds_ = 8 * 3600;
    std::unique_ptr<PageScan> scan_;
    std::int32_t found_ = 0;
    std::int32_t deleted_ = 0;
};

}  // namespace pc
