// The rows of the latest scan of each category. Scanners are the only writers; the report list
// and the export read. A category's rows are emptied when its scan starts.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "result_types.h"
#include "text_blocks.h"
#include "text_pool.h"

namespace pc {

// One record as the cells of its report-list row (and export line), in column order.
struct RowCells {
    std::array<std::string_view, 7> cells;
    std::size_t size;
    NullCells nulls = 0;
    bool isNull(std::size_t cell) const { return (nulls >> cell) & 1; }
    auto begin() const { return cells.begin(); }
    auto end() const { return cells.begin() + static_cast<std::ptrdiff_t>(size); }
};

// The names of a row's cells, in row order ("state" for the state word).

// The records of one category as a range, each decoded from the store as it is read.
template <typename Record>
class RecordRange {
  public:
    using Decode = Record (*)(const char*, const TextBlocks*);
    class iterator {
      public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = Record;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = Record;
        iterator() = default;
        iterator(const std::deque<const char*>* rows, std::size_t at, Decode decode,
                 const TextBlocks* blocks)
            : rows_(rows), at_(at), decode_(decode), blocks_(blocks) {}
        Record operator*() const { return decode_((*rows_)[at_], blocks_); }
        iterator& operator++() {
            ++at_;
            return *this;
        }
        iterator operator++(int) {
            iterator old = *this;
            ++at_;
            return old;
        }
        bool operator==(const iterator& o) const { return at_ == o.at_; }

      private:
        const std::deque<const char*>* rows_ = nullptr;
        std::size_t at_ = 0;
        Decode decode_ = nullptr;
        const TextBlocks* blocks_ = nullptr;
    };

    RecordRange(const std::deque<const char*>& rows, Decode decode, const TextBlocks* blocks)
        : rows_(rows), decode_(decode), blocks_(blocks) {}
    iterator begin() const { return {&rows_, 0, decode_, blocks_}; }
    iterator end() const { return {&rows_, rows_.size(), decode_, blocks_}; }
    std::size_t size() const { return rows_.size(); }
    bool empty() const { return rows_.empty(); }
    Record operator[](std::size_t i) const { return decode_(rows_.at(i), blocks_); }

  private:
    const std::deque<const char*>& rows_;
    Decode decode_;
    const TextBlocks* blocks_;
};

// Each row is kept as one packed run of bytes in its category's pool (state, where it was found,
// the lengths of its texts, the texts), and a pointer to it: a few bytes beyond the texts
// themselves, so millions of rows fit in memory.
class ResultStore {
  public:
    // From now on (every category emptied), a category's long texts (message bodies) are kept
    // compressed in blocks: a view of one lasts only until a few other blocks have been read, see
    // TextBlocks. For a window holding millions of rows.
    void keepLongTextsInBlocks(bool inBlocks);
    void beginCategory(CategoryCode code);
    // The category's rows from now on are those of the database at `path` (a run reads several
    // of a kind one after the other); returns the part's index.
    PartIndex beginPart(CategoryCode code, std::string path);
    std::size_t partCount(CategoryCode code) const { return category(code).parts.size(); }
    const std::string& partPath(CategoryCode code, PartIndex part) const;
    // The part a row belongs to (0 when the category has none).
    PartIndex partOf(CategoryCode code, std::uint32_t index) const;
    // Rows of the categories from now on are passed through, not kept: each row appended is
    // readable until the next; counts still count. For output written as rows are found.
    void passRowsThrough(bool through) { passThrough_ = through; }

    std::uint32_t append(PtelValue record);
    std::uint32_t append(PSMSvalue record);
    std::uint32_t append(PCallValue record);
    std::uint32_t append(PMessageValue record);
    // A row as it is kept, packed, and the same bytes kept as a row of this store: rows handed
    // from one store to another without being taken apart.
    std::string_view packedRow(CategoryCode code, std::uint32_t index) const;
    std::uint32_t appendPacked(CategoryCode code, std::string_view packed);

    std::int32_t count(CategoryCode code) const;
    bool anyRows() const;
    RecordState stateAt(CategoryCode code, std::uint32_t index) const;
    Provenance foundAt(CategoryCode code, std::uint32_t index) const;
    RowCells rowCells(CategoryCode code, std::uint32_t index) const;
    // One cell of a row: a long text kept in blocks is read back only when it is the one asked.
    std::string_view cellAt(CategoryCode code, std::uint32_t index, std::size_t cell) const;
    // Indexes of the tag's category (of its part, if it names one) whose state the filter
    // selects, in the order found.
    std::vector<std::uint32_t> rowsMatching(CategoryTag tag) const;

    RecordRange<PtelValue> ContactRecords() const;
    RecordRange<PSMSvalue> SmsRecords() const;
    // The messages without reading back the bodies kept in blocks (those are left empty): for
    // passes over every row that need no body.
    RecordRange<PSMSvalue> SmsRecordsWithoutBodies() const;
    RecordRange<PCallValue> CallLogRecords() const;
    // The messages of a store that joins tables (Mms, GoogleMessages, WhatsApp).
    RecordRange<PMessageValue> MessageRecords(CategoryCode code) const;

  private:
    struct Part {
        std::string path;
        std::uint32_t first;  // the index of its first row
    };
    struct Category {
        std::deque<const char*> rows;
        std::vector<Part> parts;
        TextPool texts;
        std::unique_ptr<TextBlocks> blocks;  // the long texts, when kept in blocks
        std::uint32_t passed = 0;            // rows passed through
        std::string last;                    // the row passed through last
        void clear() {
            rows.clear();
            parts.clear();
            texts.clear();
            if (blocks) blocks->clear();
            passed = 0;
        }
    };

    std::uint32_t keep(CategoryCode code, RecordState state, Provenance found, NullCells nulls,
                       std::initializer_list<std::string_view> texts);
    // Room for a row of `size` bytes in the category, and its index.
    std::pair<char*, std::uint32_t> place(CategoryCode code, std::size_t size);
    const char* row(CategoryCode code, std::uint32_t index) const;
    const Category& category(CategoryCode code) const {
        return categories_[static_cast<std::size_t>(code)];
    }

    const TextBlocks* blocks(CategoryCode code) const { return category(code).blocks.get(); }

    PerCategory<Category> categories_;
    bool passThrough_ = false;
    mutable std::string repacked_;  // packedRow of a row whose long text lies in blocks
};

}  // namespace pc
