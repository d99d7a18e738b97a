#include "row_sort.h"

#include <algorithm>
#include <limits>
#include <string>
#include <string_view>

#include "text_codec.h"

namespace pc {

namespace {

void appendSortKey(std::string& key, std::string_view cell) {
    const std::size_t from = key.size();
    appendGb18030(key, cell);
    for (std::size_t i = from; i < key.size(); ++i)
        if (key[i] >= 'a' && key[i] <= 'z') key[i] = static_cast<char>(key[i] - 'a' + 'A');
}

std::size_t utf8Length(char lead) {
    const auto b = static_cast<unsigned char>(lead);
    return b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
}

// The first `n` characters of a UTF-8 text: enough for `n` bytes of its key.
std::string_view leadingCharacters(std::string_view utf8, std::size_t n) {
    std::size_t at = 0;
    for (; n > 0 && at < utf8.size(); --n)
        at += utf8Length(utf8[at]);
    return utf8.substr(0, std::min(at, utf8.size()));
}

std::uint64_t bigEndianPrefix(std::string_view bytes) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < 8; ++i)
        v = (v << 8) | (i < bytes.size() ? static_cast<std::uint8_t>(bytes[i]) : 0);
    return v;
}

// A row by its key's first 16 bytes, as two numbers, and the key's length: these order almost
// every row. `position` is the row's place in the rows given.
struct Keyed {
    std::uint64_t hi, lo;
    std::uint32_t length, position;
};

int prefixOrder(const Keyed& x, const Keyed& y) {
    if (x.hi != y.hi) return x.hi < y.hi ? -1 : 1;
    if (x.lo != y.lo) return x.lo < y.lo ? -1 : 1;
    return 0;
}

// Texts are read in the store's order wherever many rows are read: a sorted list visits the
// store in no order, and reading it so costs more than making the keys.
class CellSorter {
  public:
    CellSorter(const ResultStore& store, CategoryCode code, std::span<const std::uint32_t> rows,
               std::size_t cell, bool ascending)
        : store_(store), code_(code), rows_(rows), cell_(cell), ascending_(ascending) {}

    std::vector<std::uint32_t> sorted() {
        arena_.reserve(3 * kBatchBytes);
        makePrefixKeys();
        std::sort(keyed_.begin(), keyed_.end(), [this](const Keyed& x, const Keyed& y) {
            return directed(prefixOrder(x, y), x, y);
        });
        breakTies();
        std::vector<std::uint32_t> out(keyed_.size());
        for (std::size_t i = 0; i < keyed_.size(); ++i)
            out[i] = rows_[keyed_[i].position];
        return out;
    }

  private:
    // Rows that compare equal keep the order they had.
    bool directed(int order, const Keyed& x, const Keyed& y) const {
        if (order != 0) return ascending_ ? order < 0 : order > 0;
        return x.position < y.position;
    }

    std::string_view cellOf(std::uint32_t row) const {
        return store_.rowCells(code_, row).cells[cell_];
    }

    void makePrefixKeys() {
        const auto count = static_cast<std::uint32_t>(store_.count(code_));
        std::vector<std::uint32_t> positionOf(count, UINT32_MAX);
        for (std::uint32_t p = 0; p < rows_.size(); ++p)
            positionOf[rows_[p]] = p;
        keyed_.reserve(rows_.size());
        cellBytes_.assign(rows_.size(), 0);
        std::string key;
        for (std::uint32_t i = 0; i < count; ++i) {
            if (positionOf[i] == UINT32_MAX) continue;
            key.clear();
            // 17 characters give at least 17 key bytes: a key of 16 or fewer is whole.
            const std::string_view cell = cellOf(i);
            cellBytes_[positionOf[i]] = static_cast<std::uint32_t>(
                std::min<std::size_t>(cell.size(), std::numeric_limits<std::uint32_t>::max()));
            appendSortKey(key, leadingCharacters(cell, 17));
            const std::string_view k(key);
            keyed_.push_back({bigEndianPrefix(k), bigEndianPrefix(k.size() > 8 ? k.substr(8) : ""),
                              static_cast<std::uint32_t>(k.size()), positionOf[i]});
        }
    }

    // Rows whose first 16 key bytes tie: whole keys of 16 bytes or fewer differ in length only;
    // longer ones have their whole keys made, a batch of runs at a time.
    void breakTies() {
        for (std::size_t begin = 0; begin < keyed_.size();) {
            std::size_t end = begin + 1;
            bool longKeys = keyed_[begin].length > 16;
            while (end < keyed_.size() && prefixOrder(keyed_[begin], keyed_[end]) == 0)
                longKeys |= keyed_[end++].length > 16;
            if (end - begin > 1 && !longKeys)
                std::sort(keyed_.begin() + static_cast<std::ptrdiff_t>(begin),
                          keyed_.begin() + static_cast<std::ptrdiff_t>(end),
                          [this](const Keyed& x, const Keyed& y) {
                              return directed(x.length < y.length ? -1 : x.length > y.length, x, y);
                          });
            else if (end - begin > 1)
                queueRun(begin, end);
            begin = end;
        }
        sortQueuedRuns();
    }

    struct Tied {
        std::uint32_t row, run;
        std::size_t from, length;  // of the whole key in the arena
        Keyed keyed;
    };

    // Whole keys are made for a batch of runs at once, in the store's order, up to about this
    // many text bytes, into one buffer used again: fresh memory costs a page fault a page, more
    // than making the keys that fill it.
    static constexpr std::size_t kBatchBytes = 2u << 20;

    void queueRun(std::size_t begin, std::size_t end) {
        const auto run = static_cast<std::uint32_t>(runs_.size());
        runs_.push_back({begin, end});
        for (std::size_t i = begin; i < end; ++i) {
            const std::uint32_t row = rows_[keyed_[i].position];
            tied_.push_back({row, run, 0, 0, keyed_[i]});
            batchBytes_ += cellBytes_[keyed_[i].position];
        }
        if (batchBytes_ >= kBatchBytes) sortQueuedRuns();
    }

    void sortQueuedRuns() {
        if (runs_.empty()) return;
        std::sort(tied_.begin(), tied_.end(),
                  [](const Tied& x, const Tied& y) { return x.row < y.row; });
        arena_.clear();
        // The rows of a batch lie far apart in the store: their texts are asked for ahead.
        constexpr std::size_t kAhead = 16;
        for (std::size_t i = 0; i < tied_.size(); ++i) {
            if (i + kAhead < tied_.size()) {
                const std::string_view next = cellOf(tied_[i + kAhead].row);
                __builtin_prefetch(next.data());
                __builtin_prefetch(next.data() + 64);
            }
            Tied& t = tied_[i];
            t.from = arena_.size();
            appendSortKey(arena_, cellOf(t.row));
            t.length = arena_.size() - t.from;
        }
        const std::string_view all(arena_);
        // By run, then by the key's bytes after the 16 the run shares (compared unsigned).
        std::sort(tied_.begin(), tied_.end(), [&](const Tied& x, const Tied& y) {
            if (x.run != y.run) return x.run < y.run;
            return directed(all.substr(x.from + 16, x.length - 16)
                                .compare(all.substr(y.from + 16, y.length - 16)),
                            x.keyed, y.keyed);
        });
        std::size_t at = 0;
        for (const auto& [begin, end] : runs_)
            for (std::size_t i = begin; i < end; ++i)
                keyed_[i] = tied_[at++].keyed;
        runs_.clear();
        tied_.clear();
        batchBytes_ = 0;
    }

    const ResultStore& store_;
    CategoryCode code_;
    std::span<const std::uint32_t> rows_;
    std::size_t cell_;
    bool ascending_;
    std::vector<Keyed> keyed_;
    // Each row's cell length, by place in the rows given: the batches are measured without
    // reading tied rows again in sorted order, a cache miss each.
    std::vector<std::uint32_t> cellBytes_;
    std::vector<std::pair<std::size_t, std::size_t>> runs_;  // queued, in keyed_
    std::vector<Tied> tied_;
    std::size_t batchBytes_ = 0;
    std::string arena_;
};

}  // namespace

std::vector<std::uint32_t> sortedByCell(const ResultStore& store, CategoryCode code,
                                        std::span<const std::uint32_t> rows, std::size_t cell,
                                        bool ascending) {
    return CellSorter(store, code, rows, cell, ascending).sorted();
}

}  // namespace pc
