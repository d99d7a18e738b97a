// The one skeleton of every category scan: start, load the image, build the signature, carve,
// end; and the early ends. A category supplies its table parameters, its record checks and the
// rows it stores.
#pragma once

#include <cstdint>
#include <string>

#include "column_signature.h"
#include "record_carver.h"
#include "result_store.h"
#include "run_globals.h"
#include "scan_host.h"

namespace pc {

class TSQLiteDatabase;

enum class ScanOutcome { Completed, EndedEarly };

class CategoryScanner : private CarveVisitor {
  public:
    virtual ~CategoryScanner() = default;
    ScanOutcome run(ScanHost& host, ResultStore& store, ScanState& state, const RunGlobals& run);

  protected:
    struct Texts {
        const char* noun;             // "短信" in "找到 3 条短信, 1条删除"
        const char* missingTable;     // the table is not in the database
        const char* emptyDefinition;  // its definition is empty or unusable
    };

    virtual CategoryCode code() const = 0;
    virtual const Texts& texts() const = 0;
    virtual const SignatureParams& params() const = 0;
    virtual SerialTypeSet refusedRequiredInt() const { return serialTypeSet({0, 6, 7}); }
    // Extra reads on the open database, between the table check and its definition.
    virtual void readExtras(TSQLiteDatabase&) {}
    // Whether what was read allows a scan; false ends it with texts().emptyDefinition.
    virtual bool extrasUsable() const { return true; }
    virtual void beginScan() {}
    // Checks one carved record and keeps what passes; wanted(i) is the position of the i-th
    // wanted column.
    virtual CarveStep examine(const CarvedRecord& record) = 0;
    virtual void afterCarve() {}

    // Stores a found row, shows it and counts it.
    template <typename Record>
    void keep(Record record) {
        const bool deleted = record.state == RecordState::Deleted;
        host_->rowAdded(code(), store_->append(std::move(record)));
        ++found_;
        if (deleted) ++deleted_;
        reportCount();
    }
    // The running count changed. The host sees it before it next lets events run, which is the
    // only time a window can show it, so the text is not rebuilt for every row.
    void reportCount() { countChanged_ = true; }
    // Lets the host's events run during long loops without pages.
    void pump();
    std::uint32_t wanted(std::size_t i) const { return wanted_[i]; }
    ScanHost& host() { return *host_; }

  private:
    bool onPage(std::uint32_t pageIndex) override;
    CarveStep onRecord(const CarvedRecord& record) override { return examine(record); }

    ScanOutcome carveAll(const RunGlobals& run);
    ScanOutcome endEarly();
    void finish(const RunGlobals& run);
    void message(const char* text);
    void flushCount();

    ScanHost* host_ = nullptr;
    ResultStore* store_ = nullptr;
    ScanState* state_ = nullptr;
    std::vector<std::uint32_t> wanted_;
    std::int32_t found_ = 0;
    std::int32_t deleted_ = 0;
    bool countChanged_ = false;
};

}  // namespace pc
