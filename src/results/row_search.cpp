#include "row_search.h"

#include <string.h>

#include <algorithm>
#include <array>

#include "category_profile.h"

namespace pc {

namespace {

char fold(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The cells a text is looked for in, and the date cell, by their place in the row.
struct Cells {
    int text[2];
    int date;
    int number;  // whose contact name also counts; -1: none
};

Cells cellsOf(CategoryCode code) {
    const CategoryProfile& p = profileOf(code);
    return {{p.searchCells[0], p.searchCells[1]}, p.searchDateCell, p.searchNumberCell};
}

}  // namespace

TextFinder::TextFinder(const std::string& typed) : needle_(typed) {
    for (char& c : needle_) {
        c = fold(c);
        folds_ |= c >= 'a' && c <= 'z';
    }
    skip_.fill(needle_.size());
    for (std::size_t i = 0; i + 1 < needle_.size(); ++i) {
        const char c = needle_[i];
        skip_[static_cast<unsigned char>(c)] = needle_.size() - 1 - i;
        if (c >= 'a' && c <= 'z')
            skip_[static_cast<unsigned char>(c - 'a' + 'A')] = needle_.size() - 1 - i;
    }
}

bool TextFinder::in(std::string_view text) const {
    const std::size_t n = needle_.size();
    if (!folds_) return memmem(text.data(), text.size(), needle_.data(), n) != nullptr;
    for (std::size_t at = 0; at + n <= text.size();) {
        std::size_t i = n;
        while (i > 0 && fold(text[at + i - 1]) == needle_[i - 1])
            --i;
        if (i == 0) return true;
        at += skip_[static_cast<unsigned char>(text[at + n - 1])];
    }
    return false;
}

RowMatcher::RowMatcher(CategoryCode code, const RowQuery& query, const ContactNames* names)
    : code_(code), query_(query) {
    if (query.text.empty()) return;
    finder_ = std::make_unique<TextFinder>(query.text);
    if (names && cellsOf(code).number >= 0)
        names->forEach([&](const std::string& key, std::string_view name) {
            if (finder_->in(name)) namedKeys_.insert(key);
        });
}

RowMatcher::~RowMatcher() = default;

bool RowMatcher::matches(const ResultStore& store, std::uint32_t index) const {
    if (query_.state && store.stateAt(code_, index) != *query_.state) return false;
    const RowCells row = store.rowCells(code_, index);
    const Cells cells = cellsOf(code_);
    if (cells.date >= 0 && (!query_.from.empty() || !query_.to.empty())) {
        const std::string_view day = row.cells[static_cast<std::size_t>(cells.date)].substr(0, 10);
        if (!query_.from.empty() && day < query_.from) return false;
        if (!query_.to.empty() && day > query_.to) return false;
    }
    if (!finder_) return true;
    for (int c : cells.text)
        if (finder_->in(row.cells[static_cast<std::size_t>(c)])) return true;
    return !namedKeys_.empty() &&
           namedKeys_.count(phoneKey(row.cells[static_cast<std::size_t>(cells.number)])) > 0;
}

std::vector<std::uint32_t> matchingRows(const ResultStore& store, CategoryCode code,
                                        std::span<const std::uint32_t> rows, const RowQuery& query,
                                        const ContactNames* names) {
    if (query.empty()) return {rows.begin(), rows.end()};
    const RowMatcher matcher(code, query, names);
    std::vector<std::uint32_t> out;
    const auto count = static_cast<std::uint32_t>(store.count(code));
    // A sorted list visits the store's rows in no order, and reading them so costs more than
    // matching them: many rows are matched in the store's own order, then listed in theirs.
    constexpr std::size_t kFew = 4096;
    if (rows.size() < kFew) {
        for (std::uint32_t r : rows)
            if (matcher.matches(store, r)) out.push_back(r);
        return out;
    }
    std::vector<bool> wanted(count), hit(count);
    for (std::uint32_t r : rows)
        if (r < count) wanted[r] = true;
    for (std::uint32_t i = 0; i < count; ++i)
        if (wanted[i] && matcher.matches(store, i)) hit[i] = true;
    for (std::uint32_t r : rows)
        if (r < count && hit[r]) out.push_back(r);
    return out;
}

std::pair<std::string, std::string> daysSpanned(const ResultStore& store) {
    std::string_view first, last;
    for (CategoryCode code : kAllCategories) {
        const int cell = cellsOf(code).date;
        if (cell < 0) continue;
        const auto count = static_cast<std::uint32_t>(store.count(code));
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::string_view day =
                store.cellAt(code, i, static_cast<std::size_t>(cell)).substr(0, 10);
            if (day.size() != 10 || day < "2000-01-01" || day[4] != '-' || day[7] != '-') continue;
            if (first.empty() || day < first) first = day;
            if (last.empty() || day > last) last = day;
        }
    }
    return {std::string(first), std::string(last)};
}

}  // namespace pc
