#include "row_sort.h"

#include <algorithm>
#include <array>
#include <limits>
#include <string>
#include <string_view>
#include <thread>

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

// A row by its key's first 16 bytes, as numbers, and the key's length, made in one pass over the
// store: these order most short texts. Rows that tie on them (messages share long beginnings:
// codes, bank and delivery notices) have longer keys made in a second pass (Ties). `position` is
// the row's place in the rows given.
constexpr std::size_t kPrefixWords = 2;
constexpr std::size_t kPrefixBytes = 8 * kPrefixWords;

struct Keyed {
    std::array<std::uint64_t, kPrefixWords> words;
    std::uint32_t length, position;
};

int prefixOrder(const Keyed& x, const Keyed& y) {
    for (std::size_t i = 0; i < kPrefixWords; ++i)
        if (x.words[i] != y.words[i]) return x.words[i] < y.words[i] ? -1 : 1;
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
        makePrefixKeys();
        std::sort(keyed_.begin(), keyed_.end(), [this](const Keyed& x, const Keyed& y) {
            return directed(prefixOrder(x, y), x.position, y.position);
        });
        breakTies();
        std::vector<std::uint32_t> out(keyed_.size());
        for (std::size_t i = 0; i < keyed_.size(); ++i)
            out[i] = rows_[keyed_[i].position];
        return out;
    }

  private:
    // Rows that compare equal keep the order they had.
    bool directed(int order, std::uint32_t xPosition, std::uint32_t yPosition) const {
        if (order != 0) return ascending_ ? order < 0 : order > 0;
        return xPosition < yPosition;
    }

    std::string_view cellOf(std::uint32_t row) const { return store_.cellAt(code_, row, cell_); }

    void makePrefixKeys() {
        const auto count = static_cast<std::uint32_t>(store_.count(code_));
        std::vector<std::uint32_t> positionOf(count, UINT32_MAX);
        for (std::uint32_t p = 0; p < rows_.size(); ++p)
            positionOf[rows_[p]] = p;
        cellBytes_.assign(rows_.size(), 0);
        // Two halves of the store on two threads, when there are many rows.
        const bool two = rows_.size() >= kParallelRows && std::thread::hardware_concurrency() > 1;
        const std::uint32_t half = two ? count / 2 : count;
        std::vector<Keyed> later;
        std::thread second;
        if (two) second = std::thread([&] { later = prefixKeys(positionOf, half, count); });
        keyed_ = prefixKeys(positionOf, 0, half);
        if (second.joinable()) second.join();
        keyed_.insert(keyed_.end(), later.begin(), later.end());
    }

    // The prefixes of the rows given among the store's rows [from, to), in the store's order.
    std::vector<Keyed> prefixKeys(const std::vector<std::uint32_t>& positionOf, std::uint32_t from,
                                  std::uint32_t to) {
        std::vector<Keyed> out;
        out.reserve(to - from);
        std::string key;
        for (std::uint32_t i = from; i < to; ++i) {
            if (positionOf[i] == UINT32_MAX) continue;
            key.clear();
            // A character gives at least one key byte: with one more character than the prefix
            // has bytes, a key no longer than the prefix is whole.
            const std::string_view cell = cellOf(i);
            cellBytes_[positionOf[i]] = static_cast<std::uint32_t>(
                std::min<std::size_t>(cell.size(), std::numeric_limits<std::uint32_t>::max()));
            appendSortKey(key, leadingCharacters(cell, kPrefixBytes + 1));
            const std::string_view k(key);
            Keyed& keyed = out.emplace_back();
            for (std::size_t w = 0; w < kPrefixWords; ++w)
                keyed.words[w] = bigEndianPrefix(k.size() > 8 * w ? k.substr(8 * w) : "");
            keyed.length = static_cast<std::uint32_t>(k.size());
            keyed.position = positionOf[i];
        }
        return out;
    }

    // Rows whose prefixes tie: whole keys no longer than the prefix differ in length only;
    // longer ones have their keys made, a batch of runs at a time.
    void breakTies() {
        std::vector<Run> runs;
        std::size_t batchBytes = 0;
        for (std::size_t begin = 0; begin < keyed_.size();) {
            std::size_t end = begin + 1;
            bool longKeys = keyed_[begin].length > kPrefixBytes;
            while (end < keyed_.size() && prefixOrder(keyed_[begin], keyed_[end]) == 0)
                longKeys |= keyed_[end++].length > kPrefixBytes;
            if (end - begin > 1 && !longKeys) {
                std::sort(keyed_.begin() + static_cast<std::ptrdiff_t>(begin),
                          keyed_.begin() + static_cast<std::ptrdiff_t>(end),
                          [this](const Keyed& x, const Keyed& y) {
                              return directed(x.length < y.length ? -1 : x.length > y.length,
                                              x.position, y.position);
                          });
            } else if (end - begin > 1) {
                runs.push_back({begin, end});
                for (std::size_t k = begin; k < end; ++k)
                    batchBytes += std::min<std::size_t>(cellBytes_[keyed_[k].position], kCutBytes);
                if (batchBytes >= kBatchBytes) {
                    Ties(*this, runs).sort();
                    runs.clear();
                    batchBytes = 0;
                }
            }
            begin = end;
        }
        if (!runs.empty()) Ties(*this, runs).sort();
    }

    using Run = std::pair<std::size_t, std::size_t>;  // in keyed_

    // The tied rows' keys are made for a batch of runs at once, up to about this many bytes: one
    // pass over the store's texts for most sorts.
    static constexpr std::size_t kBatchBytes = 192u << 20;
    // Keys of tied rows are made up to this many bytes: most differ well before, and the long
    // texts' whole keys would cost more than all the others'.
    static constexpr std::size_t kCutBytes = kPrefixBytes + 8 * 30;
    // Fewer rows (or tied rows) are keyed and sorted on one thread.
    static constexpr std::size_t kParallelRows = 50000;

    // Breaks the ties of a batch of runs, writing their rows in order back to the sorter.
    class Ties {
      public:
        Ties(CellSorter& sorter, std::span<const Run> runs) : s_(sorter), runs_(runs) {
            for (const Run& r : runs)
                for (std::size_t i = r.first; i < r.second; ++i) {
                    const Keyed& k = s_.keyed_[i];
                    tied_.push_back({s_.rows_[k.position], k.position, 0, 0, 0, false});
                }
        }

        void sort() {
            const bool two =
                tied_.size() >= kParallelRows && std::thread::hardware_concurrency() > 1;
            makeKeys(two);
            // The runs in two shares of about as many rows, one on a thread of its own.
            std::size_t half = runs_.size();
            if (two) {
                std::size_t rows = 0;
                for (half = 0; half < runs_.size() && rows < tied_.size() / 2; ++half)
                    rows += runs_[half].second - runs_[half].first;
            }
            std::thread second;
            if (half < runs_.size())
                second = std::thread([this, half] { sortRuns(half, runs_.size()); });
            sortRuns(0, half);
            if (second.joinable()) second.join();
        }

      private:
        // Small, as the sorts move them: the prefix is done with.
        struct Tied {
            std::uint32_t row, position;
            std::uint32_t from, length;  // of the key in its arena, whole or cut
            std::uint8_t arena;
            bool cut;  // the key goes on past kCutBytes
        };

        // Each tied row's key, reading the store's rows in order (their texts' blocks opened
        // once): on two threads, each half of the store into an arena of its own.
        void makeKeys(bool two) {
            const auto count = static_cast<std::uint32_t>(s_.store_.count(s_.code_));
            std::vector<std::uint32_t> slotOf(count, UINT32_MAX);
            for (std::uint32_t t = 0; t < tied_.size(); ++t)
                slotOf[tied_[t].row] = t;
            const std::uint32_t half = two ? count / 2 : count;
            // Room made once: growing would copy what was made.
            std::size_t room[2] = {};
            for (const Tied& t : tied_)
                room[t.row >= half] +=
                    std::min<std::size_t>(s_.cellBytes_[t.position], kCutBytes) + 4;
            auto fill = [&](std::uint8_t arena, std::uint32_t from, std::uint32_t to) {
                std::string& keys = arenas_[arena];
                keys.reserve(room[arena] + room[arena] / 8);
                for (std::uint32_t row = from; row < to; ++row) {
                    if (slotOf[row] == UINT32_MAX) continue;
                    Tied& t = tied_[slotOf[row]];
                    const std::size_t at = keys.size();
                    appendSortKey(keys, leadingCharacters(s_.cellOf(row), kCutBytes + 1));
                    t.cut = keys.size() - at > kCutBytes;
                    if (t.cut) keys.resize(at + kCutBytes);
                    t.from = static_cast<std::uint32_t>(at);
                    t.length = static_cast<std::uint32_t>(keys.size() - at);
                    t.arena = arena;
                }
            };
            std::thread second;
            if (two) second = std::thread([&] { fill(1, half, count); });
            fill(0, 0, half);
            if (second.joinable()) second.join();
        }

        void sortRuns(std::size_t first, std::size_t last) {
            std::size_t at = 0;
            for (std::size_t r = 0; r < first; ++r)
                at += runs_[r].second - runs_[r].first;
            for (std::size_t r = first; r < last; ++r) {
                const auto [begin, end] = runs_[r];
                sortRun(tied_.data() + at, end - begin, 0);
                for (std::size_t i = begin; i < end; ++i)
                    s_.keyed_[i].position = tied_[at++].position;
            }
        }

        // A key's 8 bytes from `depth` past the prefix, padded with zeros, and how many of them
        // there are: pairs order as the keys' bytes do, a key's end before any byte. At the end
        // of a cut key, kMore: its bytes go on, unread.
        struct Word {
            std::uint64_t bytes;
            std::uint32_t count;
            auto operator<=>(const Word&) const = default;
        };
        static constexpr std::uint32_t kMore = 9;
        Word wordAt(const Tied& t, std::size_t depth) const {
            const std::size_t from = std::min<std::size_t>(t.length, kPrefixBytes + depth);
            const std::size_t count = std::min<std::size_t>(t.length - from, 8);
            if (count == 0 && t.cut) return {0, kMore};
            return {
                bigEndianPrefix(std::string_view(arenas_[t.arena]).substr(t.from + from, count)),
                static_cast<std::uint32_t>(count)};
        }

        // Rows whose keys agree up to where they were cut: their whole keys, made again, decide.
        void sortWhole(Tied* a, std::size_t n) const {
            std::vector<std::string> keys(n);
            std::vector<std::uint32_t> order(n);
            for (std::size_t i = 0; i < n; ++i) {
                appendSortKey(keys[i], s_.cellOf(a[i].row));
                order[i] = static_cast<std::uint32_t>(i);
            }
            std::sort(order.begin(), order.end(), [&](std::uint32_t x, std::uint32_t y) {
                return s_.directed(keys[x].compare(keys[y]), a[x].position, a[y].position);
            });
            std::vector<Tied> sorted(n);
            for (std::size_t i = 0; i < n; ++i)
                sorted[i] = a[order[i]];
            std::copy(sorted.begin(), sorted.end(), a);
        }
        // Before, in the sort's direction.
        bool before(const Word& x, const Word& y) const { return s_.ascending_ ? x < y : y < x; }

        // Multikey quicksort (Bentley and Sedgewick) a word at a time: keys sharing long
        // beginnings, as notices do, are not compared from their start again at every step.
        // Equal keys keep their rows' order.
        void sortRun(Tied* a, std::size_t n, std::size_t depth) {
            while (n > 1) {
                if (n < 8) {
                    std::sort(a, a + n, [&](const Tied& x, const Tied& y) {
                        for (std::size_t d = depth;; d += 8) {
                            const Word wx = wordAt(x, d), wy = wordAt(y, d);
                            if (wx != wy) return before(wx, wy);
                            if (wx.count < 8) return x.position < y.position;
                            if (wx.count == kMore) return false;  // left to sortWhole below
                        }
                    });
                    sortCutTies(a, n, depth);
                    return;
                }
                const Word pivot =
                    medianOf(wordAt(a[0], depth), wordAt(a[n / 2], depth), wordAt(a[n - 1], depth));
                std::size_t lt = 0, i = 0, gt = n;
                while (i < gt) {
                    const Word w = wordAt(a[i], depth);
                    if (before(w, pivot))
                        std::swap(a[lt++], a[i++]);
                    else if (before(pivot, w))
                        std::swap(a[i], a[--gt]);
                    else
                        ++i;
                }
                sortRun(a, lt, depth);
                sortRun(a + gt, n - gt, depth);
                a += lt;
                n = gt - lt;
                if (pivot.count == kMore) {  // keys cut here, all alike so far
                    sortWhole(a, n);
                    return;
                }
                if (pivot.count < 8) {  // the keys end here: equal
                    std::sort(a, a + n,
                              [](const Tied& x, const Tied& y) { return x.position < y.position; });
                    return;
                }
                depth += 8;
            }
        }
        // After a small sort, the runs of rows alike up to their cut: sorted whole.
        void sortCutTies(Tied* a, std::size_t n, std::size_t depth) const {
            auto alike = [&](const Tied& x, const Tied& y) {
                if (!x.cut || !y.cut) return false;
                for (std::size_t d = depth;; d += 8) {
                    const Word wx = wordAt(x, d), wy = wordAt(y, d);
                    if (wx != wy) return false;
                    if (wx.count == kMore) return true;
                }
            };
            for (std::size_t i = 0; i < n;) {
                std::size_t end = i + 1;
                while (end < n && alike(a[i], a[end]))
                    ++end;
                if (end - i > 1) sortWhole(a + i, end - i);
                i = end;
            }
        }

        Word medianOf(const Word& x, const Word& y, const Word& z) const {
            if (x < y) return y < z ? y : (x < z ? z : x);
            return x < z ? x : (y < z ? z : y);
        }

        CellSorter& s_;
        std::span<const Run> runs_;
        std::vector<Tied> tied_;  // each run's rows together, the runs in order
        std::string arenas_[2];
    };

    const ResultStore& store_;
    CategoryCode code_;
    std::span<const std::uint32_t> rows_;
    std::size_t cell_;
    bool ascending_;
    std::vector<Keyed> keyed_;
    // Each row's cell length, by place in the rows given: the batches are measured without
    // reading tied rows again in sorted order, a cache miss each.
    std::vector<std::uint32_t> cellBytes_;
};

}  // namespace

std::vector<std::uint32_t> sortedByCell(const ResultStore& store, CategoryCode code,
                                        std::span<const std::uint32_t> rows, std::size_t cell,
                                        bool ascending) {
    return CellSorter(store, code, rows, cell, ascending).sorted();
}

std::vector<std::uint32_t> sortedByName(const ResultStore& store, CategoryCode code,
                                        std::span<const std::uint32_t> rows, std::size_t numberCell,
                                        const ContactNames* names, bool ascending) {
    // Names are short: each row's key made whole.
    std::vector<std::string> keys(rows.size());
    for (std::size_t i = 0; names && i < rows.size(); ++i)
        appendSortKey(keys[i], names->nameOf(store.cellAt(code, rows[i], numberCell)));
    std::vector<std::uint32_t> order(rows.size());
    for (std::uint32_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::uint32_t x, std::uint32_t y) {
        return ascending ? keys[x] < keys[y] : keys[y] < keys[x];
    });
    std::vector<std::uint32_t> out(rows.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        out[i] = rows[order[i]];
    return out;
}

}  // namespace pc
