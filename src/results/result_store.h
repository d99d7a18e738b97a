// The rows of the latest scan of each category. Scanners are the only writers; the report list
// and the export read. A category's array is emptied when its scan starts.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string_view>
#include <vector>

#include "result_types.h"
#include "text_pool.h"

namespace pc {

// One record as the cells of its report-list row (and export line), in column order.
struct RowCells {
    std::array<std::string_view, 6> cells;
    std::size_t size;
    NullCells nulls = 0;
    bool isNull(std::size_t cell) const { return (nulls >> cell) & 1; }
    auto begin() const { return cells.begin(); }
    auto end() const { return cells.begin() + static_cast<std::ptrdiff_t>(size); }
};

// The names of a row's cells, in row order ("state" for the state word).
const std::vector<const char*>& rowFieldNames(CategoryCode code);

class ResultStore {
  public:
    void beginCategory(CategoryCode code);
    std::uint32_t append(PtelValue record);
    std::uint32_t append(PSMSvalue record);
    std::uint32_t append(PCallValue record);

    std::int32_t count(CategoryCode code) const;
    bool anyRows() const;
    RecordState stateAt(CategoryCode code, std::uint32_t index) const;
    Provenance foundAt(CategoryCode code, std::uint32_t index) const;
    RowCells rowCells(CategoryCode code, std::uint32_t index) const;
    // Indexes of the tag's category whose state the filter selects, in the order found.
    std::vector<std::uint32_t> rowsMatching(CategoryTag tag) const;

    const std::deque<PtelValue>& ContactRecords() const { return contacts_.records; }
    const std::deque<PSMSvalue>& SmsRecords() const { return sms_.records; }
    const std::deque<PCallValue>& CallLogRecords() const { return calls_.records; }

  private:
    // One category: its records, in a deque so that appending never moves them, and the pool
    // their texts live in.
    template <typename Record>
    struct Category {
        std::deque<Record> records;
        TextPool texts;
        void clear() {
            records.clear();
            texts.clear();
        }
    };

    template <typename F>
    decltype(auto) visit(CategoryCode code, std::uint32_t index, F&& f) const {
        switch (code) {
            case CategoryCode::Contacts: return f(contacts_.records.at(index));
            case CategoryCode::Sms: return f(sms_.records.at(index));
            case CategoryCode::CallLog: break;
        }
        return f(calls_.records.at(index));
    }

    Category<PtelValue> contacts_;
    Category<PSMSvalue> sms_;
    Category<PCallValue> calls_;
};

}  // namespace pc
