#include "table_carver.h"

#include <algorithm>
#include <bit>
#include <iterator>
#include <utility>

#include "MyFuns_.h"
#include "byte_order.h"
#include "field_value.h"
#include "utf8_check.h"

namespace pc {

namespace {

bool isText(std::uint64_t t) {
    return t >= 13 && t % 2 == 1;
}
bool isBlob(std::uint64_t t) {
    return t >= 12 && t % 2 == 0;
}
bool isNumber(std::uint64_t t) {
    return t >= 1 && t <= 9;
}

// Longest header looked for: a few bytes a column beyond the first.
constexpr std::uint32_t kMaxHeaderBytesPerColumn = 3;
// First values whose serial type was overwritten are tried up to this length, and at the one
// length that ends their freeblock.
constexpr std::uint64_t kGuessedLengths = 1024;

// Records of fewer columns have headers of a few bytes, which fit almost any bytes by chance.
constexpr std::size_t kShortRecord = 4;

// Whether the freeblock header SQLite writes into a freed cell lies at `at`: the next freeblock
// (none, or one further on, never adjacent: it would have been merged) and a size within `end`.
bool freedCellAt(std::span<const std::uint8_t> page, std::uint32_t at, std::uint32_t end) {
    const auto next = readBe16(page, at);
    const auto size = readBe16(page, at + 2);
    return next && size && *size >= 4 && at + *size <= end && (*next == 0 || *next > at + *size);
}

}  // namespace

// Most places hold no freeblock header: its size alone refuses them.
void RecordEnds::addFreedCells(std::span<const std::uint8_t> page, std::uint32_t from,
                               std::uint32_t to) {
    const auto pageEnd = static_cast<std::uint32_t>(page.size());
    const std::uint8_t* bytes = page.data();
    from = std::max(from, begin_);
    to = std::min(to, end_);
    for (std::uint32_t at = from; at + 4 <= to && at + 4 <= pageEnd; ++at) {
        const std::uint32_t size = std::uint32_t{bytes[at + 2]} << 8 | bytes[at + 3];
        if (size >= 4 && at + size <= pageEnd && freedCellAt(page, at, pageEnd)) add(at);
    }
}

void RecordEnds::addAll(std::uint32_t from, std::uint32_t to) {
    from = std::max(from, begin_);
    to = std::min(to, end_ + 1);
    for (std::uint32_t at = from; at < to;) {
        const std::uint32_t i = at - begin_;
        const std::uint32_t n = std::min<std::uint32_t>(64 - (i & 63), to - at);
        const std::uint64_t run = n == 64 ? ~std::uint64_t{0} : ((std::uint64_t{1} << n) - 1);
        bits_[i >> 6] |= run << (i & 63);
        at += n;
    }
}

std::uint32_t RecordEnds::next(std::uint32_t from, std::uint32_t to) const {
    to = std::min(to, end_ + 1);
    if (from < begin_) from = begin_;
    while (from < to) {
        const std::uint32_t i = from - begin_;
        const std::uint64_t word = bits_[i >> 6] >> (i & 63);
        if (word != 0)
            return std::min(to, from + static_cast<std::uint32_t>(std::countr_zero(word)));
        from += 64 - (i & 63);
    }
    return to;
}

TableCarver::TableCarver(const TableShape& shape, std::uint32_t encoding)
    : shape_(&shape),
      encoding_(encoding),
      liveTypes_(shape.columns.size(), 0),
      leastColumns_(shape.columns.size()) {
    for (std::size_t k = 0; k < quick_.size() && k < shape.columns.size(); ++k)
        for (unsigned b = 0; b < 256; ++b)
            quick_[k][b] =
                b < 0x80 ? allowed(k, b) : allowed(k, 2 * 0x80 + 12) || allowed(k, 2 * 0x80 + 13);
}

bool TableCarver::quickTypes(std::span<const std::uint8_t> bytes, std::uint32_t at,
                             std::size_t first) const {
    const std::size_t last = std::min({first + kQuickTypes, quick_.size(), shape_->columns.size()});
    for (std::size_t k = first; k < last; ++k) {
        if (at >= bytes.size()) return true;  // the full test says
        const std::uint8_t b = bytes[at++];
        if (!quick_[k][b]) return false;
        if (b >= 0x80) return true;  // a longer varint: the later types' places are unknown
    }
    return true;
}

namespace {

unsigned typeBit(std::uint64_t t) {
    return t < 12 ? static_cast<unsigned>(t) : isText(t) ? 12 : 13;
}

// Control characters other than TAB, LF and CR, and the replacement character that broken
// UTF-16 becomes, do not belong in a text people wrote. Read from the stored bytes, so that
// candidates are judged before any value is made of them.
bool plainText(std::span<const std::uint8_t> bytes, std::uint32_t encoding) {
    auto control = [](std::uint32_t c) { return c < 0x20 && c != '\t' && c != '\n' && c != '\r'; };
    if (encoding != 2 && encoding != 3) {
        const std::string_view s(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        return s.find("\xEF\xBF\xBD") == std::string_view::npos &&
               std::none_of(bytes.begin(), bytes.end(), control);
    }
    const bool big = encoding == 3;
    auto unit = [&](std::size_t i) -> std::uint32_t {
        return big ? (bytes[i] << 8) | bytes[i + 1] : (bytes[i + 1] << 8) | bytes[i];
    };
    if (bytes.size() % 2 != 0) return false;
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        const std::uint32_t u = unit(i);
        if (control(u) || u == 0xFFFD || (u >= 0xDC00 && u <= 0xDFFF)) return false;
        if (u >= 0xD800 && u <= 0xDBFF) {  // a high surrogate needs its low one
            if (i + 3 >= bytes.size()) return false;
            const std::uint32_t low = unit(i + 2);
            if (low < 0xDC00 || low > 0xDFFF) return false;
            i += 2;
        }
    }
    return true;
}

}  // namespace

bool TableCarver::readLive(std::span<const std::uint8_t> payload, std::optional<std::int64_t> rowid,
                           RowValues& out) {
    const std::size_t n = shape_->columns.size();
    if (!decodeRecord(payload, liveLayout_, static_cast<std::uint32_t>(n)) ||
        liveLayout_.columns == 0)
        return false;
    auto declared = [&](std::size_t c) { return shape_->stored.empty() ? c : shape_->stored[c]; };
    out.reset(n);
    for (std::size_t c = 0; c < liveLayout_.columns; ++c) {
        const std::uint64_t t = liveLayout_.serialTypes[c];
        liveTypes_[c] = static_cast<std::uint16_t>(liveTypes_[c] | (1u << typeBit(t)));
        const std::uint64_t size = serialBodySize(t).value_or(0);
        const std::uint64_t at = liveLayout_.bodyOffsets[c];
        if (at + size <= payload.size())
            out.set(declared(c), t, payload.subspan(at, size), encoding_);
    }
    // Columns added after the row was written read as NULL, as SQLite reads them; deleted rows
    // of that age have as few.
    leastColumns_ = std::min<std::size_t>(leastColumns_, liveLayout_.columns);
    for (std::size_t c = liveLayout_.columns; c < n; ++c)
        liveTypes_[c] = static_cast<std::uint16_t>(liveTypes_[c] | 1u);
    if (shape_->rowidColumn >= 0 && rowid)
        out.setInteger(declared(static_cast<std::size_t>(shape_->rowidColumn)), *rowid);
    return true;
}

bool TableCarver::learnedAny() const {
    return std::any_of(liveTypes_.begin(), liveTypes_.end(),
                       [](std::uint16_t t) { return t != 0; });
}

bool TableCarver::acceptable(const FoundRecord& r, bool wholeCell,
                             const StrangerRules& rules) const {
    // Anywhere, a record of a single byte or number is more likely chance than a row.
    if (r.content < 2) return false;
    if (!rules.apply) return true;
    // Every value of its column's class; a table without live rows is vouched for by a record's
    // whole cell (on a former leaf of it, or its length and row id still before it), and on a
    // former leaf of it by what else lies there.
    if (r.typed < shape_->columns.size()) return false;
    const bool cell = wholeCell || r.rowid;
    if (!learnedAny()) return rules.formerLeaf || cell;
    // Most values of the serial types the live rows use there; without its cell's start, all of
    // them, and longer than the few header bytes that fit almost any bytes.
    if (cell) return r.likeLive * 2 >= r.given;
    return r.likeLive >= r.given && shape_->columns.size() >= kShortRecord;
}

bool TableCarver::seenLive(std::size_t c, std::uint64_t t) const {
    return (liveTypes_[c] >> typeBit(t)) & 1;
}

// What SQLite lets a column of each affinity hold: numbers and texts anywhere numbers may go
// (text that would not convert stays text, as real phones show), blobs in blob and numeric
// columns, texts and blobs in text columns. The row id column holds NULL, its value is the key.
bool TableCarver::allowed(std::size_t column, std::uint64_t t) const {
    if (t == 10 || t == 11) return false;
    if (static_cast<int>(column) == shape_->rowidColumn) return t == 0;
    if (t == 0) return !shape_->columns[column].notNull;
    switch (shape_->columns[column].affinity) {
        case Affinity::Integer:
        case Affinity::Real: return isNumber(t) || isText(t);
        case Affinity::Text: return isText(t) || isBlob(t);
        case Affinity::Blob:
        case Affinity::Numeric: break;
    }
    return true;
}

bool TableCarver::typedFor(std::size_t column, std::uint64_t t) const {
    if (t == 0) return true;
    switch (shape_->columns[column].affinity) {
        case Affinity::Integer:
        case Affinity::Real:
        case Affinity::Numeric: return isNumber(t);
        case Affinity::Text: return isText(t);
        case Affinity::Blob: break;
    }
    return true;
}

std::uint32_t TableCarver::readTypes(std::span<const std::uint8_t> page, std::uint32_t at,
                                     std::uint32_t limit, std::size_t first,
                                     std::vector<std::uint64_t>& types, std::size_t count) const {
    for (std::size_t c = first; c < (count ? count : shape_->columns.size()); ++c) {
        if (at >= limit) return 0;
        const auto v = readVarint(page.first(limit), at);
        if (!v || !allowed(c, v->value)) return 0;
        types[c] = v->value;
        at += v->length;
    }
    return at;
}

std::optional<FoundRecord> TableCarver::judge(std::span<const std::uint8_t> page,
                                              const std::vector<std::uint64_t>& types,
                                              std::uint32_t body, const TextIndex* text) const {
    if (text && (encoding_ > 1 || text->base() != page.data())) text = nullptr;
    FoundRecord r;
    std::uint64_t at = body;
    for (std::size_t c = 0; c < types.size(); ++c) {
        const std::uint64_t size = serialBodySize(types[c]).value_or(0);
        if (at + size > page.size()) return std::nullopt;
        const auto bytes = page.subspan(at, size);
        bool plain = true;
        if (isText(types[c])) {
            // A text that is not one is no record of this table.
            const auto from = static_cast<std::uint32_t>(at);
            const auto to = static_cast<std::uint32_t>(at + size);
            if (text) {
                if (!text->valid(from, to)) return std::nullopt;
                plain = text->plain(from, to);
            } else {
                if (encoding_ <= 1 &&
                    !isValidUtf8({reinterpret_cast<const char*>(bytes.data()), bytes.size()}))
                    return std::nullopt;
                if (encoding_ > 1 && size % 2 != 0) return std::nullopt;
                plain = plainText(bytes, encoding_);
            }
        }
        if (types[c] != 0) {
            ++r.given;
            r.content +=
                isNumber(types[c])
                    ? 1
                    : static_cast<std::uint32_t>(size - static_cast<std::size_t>(std::count(
                                                            bytes.begin(), bytes.end(), 0)));
        }
        r.typed += typedFor(c, types[c]) && plain ? 1 : 0;
        r.likeLive += seenLive(c, types[c]) ? 1 : 0;
        at += size;
    }
    // A header of zeros is what empty bytes look like, not a row.
    if (r.given == 0) return std::nullopt;
    r.body = body;
    r.end = r.limit = static_cast<std::uint32_t>(at);
    r.types = types;
    return r;
}

void TableCarver::values(std::span<const std::uint8_t> bytes, const FoundRecord& record,
                         RowValues& out) const {
    const std::size_t n = shape_->columns.size();
    auto declared = [&](std::size_t c) { return shape_->stored.empty() ? c : shape_->stored[c]; };
    out.reset(n);
    std::uint64_t at = record.body;
    for (std::size_t c = 0; c < n && c < record.types.size(); ++c) {
        const std::uint64_t size = serialBodySize(record.types[c]).value_or(0);
        if (at + size <= record.limit && at + size <= bytes.size())
            out.set(declared(c), record.types[c], bytes.subspan(at, size), encoding_);
        at += size;
    }
    if (shape_->rowidColumn >= 0 && record.rowid)
        out.setInteger(declared(static_cast<std::size_t>(shape_->rowidColumn)), *record.rowid);
}

void TableCarver::findRecords(std::span<const std::uint8_t> page, std::uint32_t begin,
                              std::uint32_t end, std::vector<FoundRecord>& out,
                              const TextIndex* text) const {
    end = std::min<std::uint32_t>(end, static_cast<std::uint32_t>(page.size()));
    for (std::uint32_t pos = begin; pos + 1 < end; ++pos)
        recordAt(page, begin, end, pos, out, text);
}

std::uint32_t TableCarver::maxHeaderSize() const {
    return static_cast<std::uint32_t>(1 + shape_->columns.size() * kMaxHeaderBytesPerColumn);
}

void TableCarver::recordAt(std::span<const std::uint8_t> page, std::uint32_t begin,
                           std::uint32_t end, std::uint32_t pos, std::vector<FoundRecord>& out,
                           const TextIndex* text, const StrangerRules& rules) const {
    const std::size_t n = shape_->columns.size();
    const auto h = readVarint(page.first(end), pos);
    if (!h || h->value < 1 + leastColumns_ || h->value > maxHeaderSize() || pos + h->value > end)
        return;
    const std::uint32_t headerEnd = static_cast<std::uint32_t>(pos + h->value);
    // Every column, or (a row older than columns added) as few as the live rows show.
    std::size_t columns = n;
    for (;; --columns) {
        types_.resize(n);
        if (readTypes(page, pos + h->length, headerEnd, 0, types_, columns) == headerEnd) {
            std::fill(types_.begin() + static_cast<std::ptrdiff_t>(columns), types_.end(), 0);
            break;
        }
        if (columns == leastColumns_) return;
    }
    // The cell's payload length and row id, when they are still before the header.
    std::optional<std::int64_t> rowid;
    std::uint32_t cellStart = pos;
    // Whether a varint of `length` bytes can end just before `end`: every byte before its last
    // carries the high bit, and its last does not (but for the ninth, which is all value).
    auto varintEndsAt = [&](std::uint32_t end, std::uint32_t length) {
        if (end < begin + length) return false;
        if (length < 9 && page[end - 1] >= 0x80) return false;
        for (std::uint32_t i = end - length; i + 1 < end; ++i)
            if (page[i] < 0x80) return false;
        return true;
    };
    auto findCell = [&](std::uint64_t payload) {
        for (std::uint32_t a = 1; a <= 3 && !rowid; ++a)
            for (std::uint32_t b = 1; b <= 9 && !rowid; ++b) {
                if (!varintEndsAt(pos, b)) continue;
                if (!varintEndsAt(pos - b, a)) continue;
                const std::uint32_t cell = pos - a - b;
                const auto p = readVarint(page, cell, a);
                const auto id = readVarint(page, cell + a, b);
                if (p && p->length == a && p->value == payload && id && id->length == b) {
                    rowid = static_cast<std::int64_t>(id->value);
                    cellStart = cell;
                }
            }
    };
    if (rules.apply) {
        // Judged first by its types alone (its texts' bytes could only make it worse), with its
        // cell's start looked for only where it needs one.
        FoundRecord sketch;
        std::uint64_t payload = headerEnd - pos;
        for (std::size_t c = 0; c < n; ++c) {
            const std::uint64_t t = types_[c];
            payload += serialBodySize(t).value_or(0);
            sketch.typed += typedFor(c, t) ? 1 : 0;
            sketch.likeLive += seenLive(c, t) ? 1 : 0;
            sketch.given += t != 0 ? 1 : 0;
        }
        sketch.content = 2;
        if (!acceptable(sketch, false, rules)) {
            findCell(payload);
            if (!rowid) return;
            sketch.rowid = rowid;
            sketch.given += shape_->rowidColumn >= 0 ? 1 : 0;
            if (!acceptable(sketch, false, rules)) return;
        }
    }
    auto r = judge(page.first(end), types_, headerEnd, text);
    if (!r) return;
    r->allColumns = columns == n;
    if (!rowid) findCell(r->end - pos);
    r->header = pos;
    r->begin = cellStart;
    r->rowid = rowid;
    if (shape_->rowidColumn >= 0 && r->rowid) {
        ++r->given;
        ++r->content;
    }
    out.push_back(std::move(*r));
}

std::optional<std::uint64_t> TableCarver::typeOfLength(std::size_t column,
                                                       std::uint64_t length) const {
    if (static_cast<int>(column) == shape_->rowidColumn)
        return length == 0 ? std::optional<std::uint64_t>(0) : std::nullopt;
    const Affinity a = shape_->columns[column].affinity;
    if (a == Affinity::Text) return 2 * length + 13;
    if (a == Affinity::Blob && length > 0) return 2 * length + 12;
    if (length == 0) return 0;  // NULL, 0 or 1 cannot be told apart: the NULL is said
    if (a == Affinity::Real && length == 8) return 7;
    static constexpr std::uint8_t kIntType[9] = {0, 1, 2, 3, 4, 0, 5, 0, 6};
    if (length <= 8 && kIntType[length] != 0) return kIntType[length];
    return 2 * length + 13;
}

void TableCarver::rebuiltAt(std::span<const std::uint8_t> page, std::uint32_t at,
                            std::uint32_t limit, const RecordEnds& ends,
                            std::vector<FoundRecord>& out, const TextIndex* text) const {
    const std::size_t n = shape_->columns.size();
    const auto bytes = page.first(std::min<std::size_t>(limit, page.size()));
    // The header began 2 bytes in (its length byte and first type lost: a cell whose payload
    // length and row id were one byte each, the most common) or 3 (its length byte lost).
    for (const std::uint32_t start : {at + 2, at + 3})
        for (std::size_t columns = n; columns >= leastColumns_ && columns > 0; --columns)
            rebuiltWith(bytes, at, start, columns, limit, ends, out, text);
}

void TableCarver::rebuiltWith(std::span<const std::uint8_t> bytes, std::uint32_t at,
                              std::uint32_t start, std::size_t columns, std::uint32_t limit,
                              const RecordEnds& ends, std::vector<FoundRecord>& out,
                              const TextIndex* text) const {
    const std::size_t n = shape_->columns.size();
    const std::size_t lost = at + 4 - start - 1;
    if (lost >= columns || !quickTypes(bytes, at + 4, lost)) return;
    std::vector<std::uint64_t>& types = rebuiltTypes_;
    types.assign(n, 0);
    const std::uint32_t headerEnd = readTypes(bytes, at + 4, limit, lost, types, columns);
    if (headerEnd == 0) return;
    std::uint64_t known = 0;
    for (std::size_t c = lost; c < n; ++c)
        known += serialBodySize(types[c]).value_or(0);
    if (headerEnd + known > limit) return;
    const auto shortest = static_cast<std::uint32_t>(headerEnd + known);
    auto tryLength = [&](std::uint64_t length) {
        if (lost) {
            const auto t = typeOfLength(0, length);
            if (!t || !allowed(0, *t) || serialBodySize(*t).value_or(0) != length) return;
            types[0] = *t;
        }
        auto r = judge(bytes, types, headerEnd, text);
        if (!r) return;
        r->begin = at;
        r->header = start;
        r->rebuilt = true;
        r->allColumns = columns == n;
        out.push_back(std::move(*r));
    };
    if (!lost) {
        if (ends.has(shortest)) tryLength(0);
        return;
    }
    // Without the first type, the first body may be any length that leaves the rest and
    // ends the record where one may end: up to a bound, and the one that ends the range.
    const std::uint32_t most = limit - shortest;
    const std::uint32_t bound =
        shortest + static_cast<std::uint32_t>(std::min<std::uint64_t>(most, kGuessedLengths));
    for (std::uint32_t e = ends.next(shortest, bound + 1); e <= bound;
         e = ends.next(e + 1, bound + 1))
        tryLength(e - shortest);
    if (most > kGuessedLengths && ends.has(limit)) tryLength(most);
}

void TableCarver::rebuildMarked(std::span<const std::uint8_t> page, std::uint32_t begin,
                                std::uint32_t end, std::span<const std::uint32_t> starts,
                                std::vector<FoundRecord>& out, const TextIndex* text,
                                const RecordEnds* freed) const {
    if (end < begin + 5 || end > page.size()) return;
    if (!freed) {
        RecordEnds own(begin, end);
        own.addFreedCells(page, begin, end);
        return rebuildMarked(page, begin, end, starts, out, text, &own);
    }
    // Freed cells leave the content area from its start, so each one ends where the range ends,
    // where another freed cell begins or where a cell merged into it (its bytes untouched) was
    // found whole: walking back from the end finds them in one pass. `cellStart` holds those
    // places; `ends` them and where any freed cell's header lies.
    RecordEnds cellStart(begin, end);
    RecordEnds ends = *freed;
    for (RecordEnds* e : {&cellStart, &ends}) {
        e->add(end);
        for (const std::uint32_t s : starts)
            e->add(s);
    }
    std::vector<FoundRecord> here;
    const std::uint8_t* bytes = page.data();
    for (std::uint32_t at = end - 4; at-- > begin;) {
        if (!freed->has(at)) continue;
        const std::uint32_t size = std::uint32_t{bytes[at + 2]} << 8 | bytes[at + 3];
        if (size < 5) continue;
        if (at + size <= end && cellStart.has(at + size)) {
            cellStart.add(at);
            ends.add(at);
            // Cells freed next to it were merged in: the size may cover several.
            auto chain = rebuildFreeblock(page, at, at + size, starts, text, freed);
            std::move(chain.begin(), chain.end(), std::back_inserter(out));
            continue;
        }
        // Cells written since may cover the end of the freed run: only its first record, only
        // when every value is what its column declares and it ends where something known begins.
        here.clear();
        rebuiltAt(page, at, std::min<std::uint32_t>(at + size, end), ends, here, text);
        std::optional<std::size_t> pick;
        auto rank = [&](std::size_t k) { return std::pair(here[k].likeLive, here[k].typed); };
        for (std::size_t i = 0; i < here.size(); ++i)
            if (here[i].typed == shape_->columns.size() && (!pick || rank(i) > rank(*pick)))
                pick = i;
        if (pick) {
            cellStart.add(at);
            ends.add(at);
            out.push_back(std::move(here[*pick]));
        }
    }
}

std::vector<FoundRecord> TableCarver::rebuildFreeblock(std::span<const std::uint8_t> page,
                                                       std::uint32_t begin, std::uint32_t end,
                                                       std::span<const std::uint32_t> starts,
                                                       const TextIndex* text,
                                                       const RecordEnds* freed) const {
    std::vector<FoundRecord> chain, here;
    // Every cell freed into the run carries a freeblock header, or was merged into the one before
    // it untouched and was found whole: a record must end where the run does or at one of those.
    // A header's size may reach past the run, cut short by a cell written since.
    RecordEnds ends = freed ? *freed : RecordEnds(begin, end);
    if (!freed) ends.addFreedCells(page, begin, end);
    ends.add(end);
    for (const std::uint32_t s : starts)
        ends.add(s);
    auto rank = [](const FoundRecord& f) { return std::make_pair(f.likeLive, f.typed); };
    for (std::uint32_t at = begin; at + 5 <= end;) {
        here.clear();
        rebuiltAt(page, at, end, ends, here, text);
        std::optional<std::size_t> pick;
        for (std::size_t i = 0; i < here.size(); ++i)
            if (!pick || rank(here[i]) > rank(here[*pick])) pick = i;
        if (!pick) break;
        at = here[*pick].end;
        chain.push_back(std::move(here[*pick]));
    }
    return chain;
}

std::optional<FoundRecord> TableCarver::readRecord(std::span<const std::uint8_t> payload,
                                                   std::optional<std::int64_t> rowid) const {
    RecordLayout layout;
    const auto n = static_cast<std::uint32_t>(shape_->columns.size());
    // One column more than the table has is read to know a record of another table.
    if (!decodeRecord(payload, layout, n + 1) || layout.columns == 0 || layout.columns > n)
        return std::nullopt;
    FoundRecord r;
    r.rowid = rowid;
    r.header = 0;
    r.allColumns = layout.columns >= n;
    r.body = layout.headerSize;
    r.limit = static_cast<std::uint32_t>(payload.size());
    r.types.resize(n, 0);
    for (std::uint32_t c = 0; c < n; ++c) {
        const std::uint64_t t = c < layout.columns ? layout.serialTypes[c] : 0;
        const bool key = static_cast<int>(c) == shape_->rowidColumn;
        // What the table allows in the columns it has (one written before columns were added
        // lacks them).
        if (c < layout.columns && !allowed(c, t) && !key) return std::nullopt;
        r.types[c] = t;
        r.typed += typedFor(c, t) ? 1 : 0;
        r.likeLive += seenLive(c, t) ? 1 : 0;
        const std::uint64_t size = serialBodySize(t).value_or(0);
        const std::uint64_t at = c < layout.columns ? layout.bodyOffsets[c] : 0;
        if ((t != 0 || (key && rowid)) && at + size <= payload.size()) {
            ++r.given;
            const auto body = payload.subspan(at, size);
            r.content +=
                isNumber(t) || key
                    ? 1
                    : static_cast<std::uint32_t>(
                          size - static_cast<std::size_t>(std::count(body.begin(), body.end(), 0)));
        }
    }
    r.end = static_cast<std::uint32_t>(std::min<std::uint64_t>(layout.bodyEnd, payload.size()));
    return r;
}

std::vector<ByteRange> freeblocksOf(std::span<const std::uint8_t> page, const BtreePage& header,
                                    std::uint32_t usable) {
    std::vector<ByteRange> out;
    std::uint32_t at = header.firstFreeblock;
    std::uint32_t after = header.pointersEnd();
    while (at != 0) {
        if (at < after || at + 4 > usable || at + 4 > page.size()) break;
        const std::uint32_t next = *readBe16(page, at);
        const std::uint32_t size = *readBe16(page, at + 2);
        if (size < 4 || at + size > usable) break;
        out.push_back({at, at + size});
        after = at + size;
        at = next;
    }
    return out;
}

}  // namespace pc
