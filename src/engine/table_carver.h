// Finds the records of any table in bytes no live cell holds, by its declared columns: whole
// records whose header and body lie in the bytes given, records whose cells' first bytes a
// freeblock's header overwrote (rebuilt from what is left), and the cells of a page that was a
// table leaf (a page on the free list, an older image of a page).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "btree_page.h"
#include "field_value.h"
#include "record_layout.h"
#include "table_shape.h"
#include "text_index.h"

namespace pc {

// A record of the table found in a page or payload: where it lies and what it looks like, its
// values read only when it is kept (TableCarver::values).
struct FoundRecord {
    std::uint32_t begin = 0;   // first byte in the page: its cell's when the cell start is known
    std::uint32_t end = 0;     // one past its last byte
    std::uint32_t header = 0;  // where its record header starts (or would, for a rebuilt one)
    std::uint32_t body = 0;    // where its first value's body starts
    std::uint32_t limit = 0;   // bodies reaching past this are not there (read as NULL)
    std::optional<std::int64_t> rowid;
    std::uint32_t typed = 0;     // values of their column's own storage class
    std::uint32_t likeLive = 0;  // values whose serial type the table's live rows use there
    std::uint32_t given = 0;     // values that are not NULL
    std::uint32_t content = 0;   // text and blob bytes other than zeros, and one per number
    bool rebuilt = false;        // a serial type or the header length was worked out, not read
    bool allColumns = true;      // it holds every column (one written before columns were added
                                 // does not)
    std::vector<std::uint64_t> types;  // serial types, one per column
};

// The places of a byte range where a rebuilt record may end, as a bitmap: a record is looked for
// only at lengths that end at one of them, so that a range costs a small constant a byte whatever
// its headers claim.
class RecordEnds {
  public:
    RecordEnds(std::uint32_t begin, std::uint32_t end)
        : begin_(begin), end_(end), bits_((end - begin) / 64 + 1, 0) {}
    void add(std::uint32_t at) {
        if (at < begin_ || at > end_) return;
        bits_[(at - begin_) >> 6] |= std::uint64_t{1} << ((at - begin_) & 63);
    }
    // Every place of [from, to).
    void addAll(std::uint32_t from, std::uint32_t to);
    // Every place of [from, to) within the range where the freeblock header SQLite gives a
    // freed cell lies.
    void addFreedCells(std::span<const std::uint8_t> page, std::uint32_t from, std::uint32_t to);
    bool has(std::uint32_t at) const {
        return at >= begin_ && at <= end_ &&
               (bits_[(at - begin_) >> 6] >> ((at - begin_) & 63)) & 1;
    }
    // The first place in [from, to), or `to` when there is none.
    std::uint32_t next(std::uint32_t from, std::uint32_t to) const;

  private:
    std::uint32_t begin_, end_;
    std::vector<std::uint64_t> bits_;
};

// What a carved record of a table must be where the region is not known to be the table's (its
// page is no leaf of it, now or once): there a short record fits some table almost anywhere.
struct StrangerRules {
    bool apply = false;       // the region is not known to be the table's
    bool formerLeaf = false;  // it reads as a former leaf holding whole cells of the table
};

class TableCarver {
  public:
    // `encoding`: the database's text encoding.
    TableCarver(const TableShape& shape, std::uint32_t encoding);

    const TableShape& shape() const { return *shape_; }

    // Appends the records whose header and body lie whole in [begin, end) of `page`, in the order
    // of their headers; each with its row id when the two varints before its header are there
    // and agree with it.
    // `text`, when given, is what the page's bytes say of texts (UTF-8 databases).
    void findRecords(std::span<const std::uint8_t> page, std::uint32_t begin, std::uint32_t end,
                     std::vector<FoundRecord>& out, const TextIndex* text = nullptr) const;

    std::size_t columnCount() const { return shape_->columns.size(); }
    // The fewest columns a record of the table holds: fewer than the table has where live rows
    // were written before columns were added (ALTER TABLE ... ADD COLUMN), as upgrades do.
    std::size_t leastColumns() const { return leastColumns_; }
    // The longest record header looked for.
    std::uint32_t maxHeaderSize() const;
    // Whether column `column` of a record of the table may hold serial type `type`.
    bool allows(std::size_t column, std::uint64_t type) const { return allowed(column, type); }
    // Whether serial type `type` is of the class column `column` declares.
    bool ofItsClass(std::size_t column, std::uint64_t type) const { return typedFor(column, type); }

    // The record whose header starts at `pos`, when it lies whole in [begin, end) of `page`
    // (`begin`: how far back its cell's start may be looked for); what findRecords tests at
    // each place. Only a record `rules` accept; those they refuse by its header alone are not
    // read further.
    void recordAt(std::span<const std::uint8_t> page, std::uint32_t begin, std::uint32_t end,
                  std::uint32_t pos, std::vector<FoundRecord>& out, const TextIndex* text = nullptr,
                  const StrangerRules& rules = {}) const;

    // The records of a freeblock [begin, end) of `page` whose cells' first four bytes a
    // freeblock header took (the freeblock's own, and, where freed cells were merged into it,
    // each cell's own from before): the header length and, when the cell began with two one-byte
    // varints, the first serial type are worked out from what follows; the row ids are gone.
    // Records are taken one after another from `begin` while each ends where the freeblock does
    // or where the next can be read (`starts`: where records with whole headers begin).
    std::vector<FoundRecord> rebuildFreeblock(std::span<const std::uint8_t> page,
                                              std::uint32_t begin, std::uint32_t end,
                                              std::span<const std::uint32_t> starts,
                                              const TextIndex* text = nullptr,
                                              const RecordEnds* freed = nullptr) const;

    // Appends the records of cells freed in [begin, end) that still carry the freeblock header
    // SQLite gave them (a freed cell's bytes at the start of the cell area go to the unallocated
    // space, header and all), each run of them ending where its header's size says.
    // `starts` are where records found whole begin.
    // `freed`, when given, holds the places of the range (at least) where freed cells' headers
    // lie (the same for every table: worked out once a page).
    void rebuildMarked(std::span<const std::uint8_t> page, std::uint32_t begin, std::uint32_t end,
                       std::span<const std::uint32_t> starts, std::vector<FoundRecord>& out,
                       const TextIndex* text = nullptr, const RecordEnds* freed = nullptr) const;

    // A former table leaf cell's record (its payload, the local part of it when the rest is
    // gone), when the table allows its values.
    std::optional<FoundRecord> readRecord(std::span<const std::uint8_t> payload,
                                          std::optional<std::int64_t> rowid) const;
    // A live cell's record (its payload): its values into `out`, in declared order, whatever
    // they hold; its serial types are learned, to tell what the table's rows look like (a record
    // rebuilt in the right place from one rebuilt a byte off). False when its header cannot be
    // read.
    bool readLive(std::span<const std::uint8_t> payload, std::optional<std::int64_t> rowid,
                  RowValues& out);

    // Whether any live row was learned: what its rows look like is known.
    bool learnedAny() const;

    // Whether a record found as `record` (read as a whole cell of a page when `wholeCell`) may be
    // one of the table's where `rules` hold.
    bool acceptable(const FoundRecord& record, bool wholeCell, const StrangerRules& rules) const;

    // The values of `record`, found in `bytes`, in the table's declared column order; an
    // INTEGER PRIMARY KEY column shows the row id where it is known.
    void values(std::span<const std::uint8_t> bytes, const FoundRecord& record,
                RowValues& out) const;

  private:
    bool allowed(std::size_t column, std::uint64_t type) const;
    bool typedFor(std::size_t column, std::uint64_t type) const;
    // Reads the serial types of columns [first, count) from `at` (count 0: every column); the end
    // of the header bytes, or 0.
    std::uint32_t readTypes(std::span<const std::uint8_t> page, std::uint32_t at,
                            std::uint32_t limit, std::size_t first,
                            std::vector<std::uint64_t>& types, std::size_t count = 0) const;
    // The record whose types are `types` and whose bodies start at `body` of `page`, judged by
    // its stored bytes; nullopt when a text is not text or every value is NULL.
    std::optional<FoundRecord> judge(std::span<const std::uint8_t> page,
                                     const std::vector<std::uint64_t>& types, std::uint32_t body,
                                     const TextIndex* text) const;
    // The serial type of column `column` whose body is `length` bytes, as its affinity has it.
    std::optional<std::uint64_t> typeOfLength(std::size_t column, std::uint64_t length) const;
    // Every rebuilt record a cell at `at` whose first four bytes are gone may be, ending by
    // `limit` at one of `ends`.
    void rebuiltAt(std::span<const std::uint8_t> page, std::uint32_t at, std::uint32_t limit,
                   const RecordEnds& ends, std::vector<FoundRecord>& out,
                   const TextIndex* text) const;
    // ... of `columns` columns, its header starting at `start`.
    void rebuiltWith(std::span<const std::uint8_t> bytes, std::uint32_t at, std::uint32_t start,
                     std::size_t columns, std::uint32_t limit, const RecordEnds& ends,
                     std::vector<FoundRecord>& out, const TextIndex* text) const;
    // Whether the bytes at `at` may be the serial types of columns `first` on, by the first few.
    bool quickTypes(std::span<const std::uint8_t> bytes, std::uint32_t at, std::size_t first) const;

    // Serial type `t` of column `c` seen in a live row (a text or blob of any length counts).
    bool seenLive(std::size_t c, std::uint64_t t) const;

    const TableShape* shape_;
    std::uint32_t encoding_;
    std::vector<std::uint16_t>
        liveTypes_;  // per column: bits 0..11 the small types, 12 text, 13 blob
    mutable std::vector<std::uint64_t> types_, rebuiltTypes_;  // reused by the searches
    RecordLayout liveLayout_;
    std::size_t leastColumns_;
    // The first few types looked at, from column 0 or 1 on (the first type of a rebuilt record
    // may be lost).
    static constexpr std::size_t kQuickTypes = 3;
    std::array<std::array<bool, 256>, kQuickTypes + 1> quick_{};  // by column, by first byte
};

// The freeblocks of a b-tree page, in chain order: [offset, offset + size). The walk ends at a
// freeblock that is not after the one before it or does not lie in the usable bytes.
std::vector<ByteRange> freeblocksOf(std::span<const std::uint8_t> page, const BtreePage& header,
                                    std::uint32_t usable);

}  // namespace pc
