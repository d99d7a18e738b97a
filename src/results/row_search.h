// Which rows of a node a person looks for: a text in the number, name or message, a date range,
// normal or deleted rows.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "contact_names.h"
#include "result_store.h"

namespace pc {

struct RowQuery {
    std::string text;  // as typed; ASCII letters match either case
    std::string from;  // "yyyy-mm-dd", the first day shown; empty: no bound
    std::string to;    // "yyyy-mm-dd", the last day shown; empty: no bound
    std::optional<RecordState> state;

    bool empty() const { return text.empty() && from.empty() && to.empty() && !state; }
};

// Whether row `index` of `code` is one the query looks for. A message or call also matches by
// the name the contacts give its number, when `names` is given. Rows without a date (contacts)
// are not held to the date range.
bool rowMatches(const ResultStore& store, CategoryCode code, std::uint32_t index,
                const RowQuery& query, const ContactNames* names = nullptr);

// The rows of `rows` that match, in their order.
std::vector<std::uint32_t> matchingRows(const ResultStore& store, CategoryCode code,
                                        std::span<const std::uint32_t> rows, const RowQuery& query,
                                        const ContactNames* names = nullptr);

}  // namespace pc
