// Which rows of a node a person looks for: a text in the number, name or message, a date range,
// normal or deleted rows.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
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
    bool operator==(const RowQuery&) const = default;
};

// The text as typed, found with ASCII letters folded; UTF-8 sequences compare byte for byte.
// A text without letters is found by the C library's byte search; one with letters by
// Boyer-Moore-Horspool over folded bytes. Searches run over every cell of a million rows, so
// both skip rather than test each position.
class TextFinder {
  public:
    explicit TextFinder(const std::string& typed);
    bool in(std::string_view text) const;

  private:
    std::string needle_;  // folded
    bool folds_ = false;
    std::array<std::size_t, 256> skip_;
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
    CategoryCode code_;
    const RowQuery& query_;
    std::unique_ptr<TextFinder> finder_;
    std::unordered_set<std::string> namedKeys_;  // phoneKeys whose contact's name holds the text
};

// The first and last day ("yyyy-mm-dd") of the store's dated rows, from 2000 on: a phone's
// zero or garbled dates (1970) say nothing of where its messages lie. Empty when none.
std::pair<std::string, std::string> daysSpanned(const ResultStore& store);

// The rows of `rows` that match, in their order.
std::vector<std::uint32_t> matchingRows(const ResultStore& store, CategoryCode code,
                                        std::span<const std::uint32_t> rows, const RowQuery& query,
                                        const ContactNames* names = nullptr);

}  // namespace pc
