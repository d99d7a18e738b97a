// Which rows of a node a person looks for: a text in the number, name or message, a date range,
// normal or deleted rows.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_set>
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

// A query made ready for many rows: the text's searcher built and the contacts whose name holds
// the text looked up once.
class RowMatcher {
  public:
    // `names`, when given, lets a message or call match by the name the contacts give its
    // number; it must outlive the matcher.
    RowMatcher(CategoryCode code, const RowQuery& query, const ContactNames* names = nullptr);
    ~RowMatcher();
    RowMatcher(const RowMatcher&) = delete;
    RowMatcher& operator=(const RowMatcher&) = delete;

    // Whether row `index` is one the query looks for. Rows without a date (contacts) are not
    // held to the date range.
    bool matches(const ResultStore& store, std::uint32_t index) const;

  private:
    struct Finder;
    CategoryCode code_;
    const RowQuery& query_;
    std::unique_ptr<Finder> finder_;
    std::unordered_set<std::string> namedKeys_;  // phoneKeys whose contact's name holds the text
};

// The rows of `rows` that match, in their order.
std::vector<std::uint32_t> matchingRows(const ResultStore& store, CategoryCode code,
                                        std::span<const std::uint32_t> rows, const RowQuery& query,
                                        const ContactNames* names = nullptr);

}  // namespace pc
