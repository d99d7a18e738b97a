#include "row_search.h"

#include <algorithm>

namespace pc {

namespace {

char fold(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// `needle` in `text`, ASCII letters folded; UTF-8 sequences compare byte for byte.
bool contains(std::string_view text, std::string_view needle) {
    if (needle.empty()) return true;
    return std::search(text.begin(), text.end(), needle.begin(), needle.end(),
                       [](char a, char b) { return fold(a) == fold(b); }) != text.end();
}

// The cells a text is looked for in, and the date cell, by their place in the row.
struct Cells {
    int text[2];
    int date;
    int number;  // whose contact name also counts; -1: none
};

Cells cellsOf(CategoryCode code) {
    switch (code) {
        case CategoryCode::Contacts: return {{0, 1}, -1, -1};
        case CategoryCode::Sms: return {{0, 4}, 1, 0};
        case CategoryCode::CallLog: break;
    }
    return {{0, 1}, 2, 0};
}

}  // namespace

bool rowMatches(const ResultStore& store, CategoryCode code, std::uint32_t index, const RowQuery& q,
                const ContactNames* names) {
    if (q.state && store.stateAt(code, index) != *q.state) return false;
    const RowCells row = store.rowCells(code, index);
    const Cells cells = cellsOf(code);
    if (cells.date >= 0 && (!q.from.empty() || !q.to.empty())) {
        const std::string_view date = row.cells[static_cast<std::size_t>(cells.date)];
        const std::string_view day = date.substr(0, 10);
        if (!q.from.empty() && day < q.from) return false;
        if (!q.to.empty() && day > q.to) return false;
    }
    if (q.text.empty()) return true;
    for (int c : cells.text)
        if (contains(row.cells[static_cast<std::size_t>(c)], q.text)) return true;
    return names && cells.number >= 0 &&
           contains(names->nameOf(row.cells[static_cast<std::size_t>(cells.number)]), q.text);
}

std::vector<std::uint32_t> matchingRows(const ResultStore& store, CategoryCode code,
                                        std::span<const std::uint32_t> rows, const RowQuery& query,
                                        const ContactNames* names) {
    std::vector<std::uint32_t> out;
    if (query.empty()) return {rows.begin(), rows.end()};
    for (std::uint32_t r : rows)
        if (rowMatches(store, code, r, query, names)) out.push_back(r);
    return out;
}

}  // namespace pc
