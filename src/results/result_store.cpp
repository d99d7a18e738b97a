#include "result_store.h"

#include <cstring>
#include <stdexcept>

#include "category_profile.h"

namespace pc {

namespace {

// A row's bytes: state, source, null cells, then varints of the offset and of each text's
// length, then the texts, in the order of the row's cells.
void putVarint(char*& w, std::uint64_t v) {
    while (v >= 0x80) {
        *w++ = static_cast<char>(v | 0x80);
        v >>= 7;
    }
    *w++ = static_cast<char>(v);
}

std::size_t varintSize(std::uint64_t v) {
    std::size_t n = 1;
    for (; v >= 0x80; v >>= 7)
        ++n;
    return n;
}

std::uint64_t getVarint(const char*& r) {
    std::uint64_t v = 0;
    for (int shift = 0;; shift += 7) {
        const auto b = static_cast<std::uint8_t>(*r++);
        v |= std::uint64_t{b & 0x7Fu} << shift;
        if (b < 0x80) return v;
    }
}

struct Unpacked {
    RecordState state;
    Provenance found;
    NullCells nulls;
    std::array<std::string_view, 5> texts;
};

constexpr std::size_t textCount(CategoryCode code) {
    return code == CategoryCode::Contacts ? 2 : code == CategoryCode::Sms ? 4 : 5;
}

Unpacked unpack(const char* r, std::size_t texts) {
    Unpacked u{};
    u.state = static_cast<RecordState>(r[0]);
    u.found.source = static_cast<SourceFile>(r[1]);
    u.nulls = static_cast<NullCells>(r[2]);
    r += 3;
    u.found.offset = getVarint(r);
    std::array<std::size_t, 5> lengths{};
    for (std::size_t i = 0; i < texts; ++i)
        lengths[i] = getVarint(r);
    for (std::size_t i = 0; i < texts; ++i) {
        u.texts[i] = {r, lengths[i]};
        r += lengths[i];
    }
    return u;
}

PtelValue contactOf(const char* r) {
    const Unpacked u = unpack(r, 2);
    return {u.texts[0], u.texts[1], u.state, u.found, u.nulls};
}

PSMSvalue smsOf(const char* r) {
    const Unpacked u = unpack(r, 4);
    return {u.texts[0], u.texts[1], u.texts[2], u.texts[3], u.state, u.found, u.nulls};
}

// Texts: number, name, type, duration, date.
PCallValue callOf(const char* r) {
    const Unpacked u = unpack(r, 5);
    return {u.texts[1], u.texts[0], u.texts[2], u.texts[3], u.texts[4], u.state, u.found, u.nulls};
}

}  // namespace

const std::vector<const char*>& rowFieldNames(CategoryCode code) {
    return profileOf(code).fields;
}

void ResultStore::beginCategory(CategoryCode code) {
    categories_[static_cast<std::size_t>(code)].clear();
}

std::uint32_t ResultStore::keep(CategoryCode code, RecordState state, Provenance found,
                                NullCells nulls, std::initializer_list<std::string_view> texts) {
    std::size_t size = 3 + varintSize(found.offset);
    for (std::string_view t : texts)
        size += varintSize(t.size()) + t.size();
    auto [w, index] = place(code, size);
    *w++ = static_cast<char>(state);
    *w++ = static_cast<char>(found.source);
    *w++ = static_cast<char>(nulls);
    putVarint(w, found.offset);
    for (std::string_view t : texts)
        putVarint(w, t.size());
    for (std::string_view t : texts) {
        if (t.empty()) continue;  // an empty view may have no data pointer at all
        std::memcpy(w, t.data(), t.size());
        w += t.size();
    }
    return index;
}

std::pair<char*, std::uint32_t> ResultStore::place(CategoryCode code, std::size_t size) {
    Category& c = categories_[static_cast<std::size_t>(code)];
    if (passThrough_) {
        c.last.resize(size);
        return {c.last.data(), c.passed++};
    }
    char* w = c.texts.allocate(size);
    c.rows.push_back(w);
    return {w, static_cast<std::uint32_t>(c.rows.size() - 1)};
}

std::string_view ResultStore::packedRow(CategoryCode code, std::uint32_t index) const {
    const char* r = row(code, index);
    const Unpacked u = unpack(r, textCount(code));
    const std::size_t texts = textCount(code);
    const char* end = texts ? u.texts[texts - 1].data() + u.texts[texts - 1].size() : r;
    return {r, static_cast<std::size_t>(end - r)};
}

std::uint32_t ResultStore::appendPacked(CategoryCode code, std::string_view packed) {
    auto [w, index] = place(code, packed.size());
    std::memcpy(w, packed.data(), packed.size());
    return index;
}

std::uint32_t ResultStore::append(PtelValue r) {
    return keep(CategoryCode::Contacts, r.state, r.found, r.nulls, {r.name, r.phone});
}

std::uint32_t ResultStore::append(PSMSvalue r) {
    return keep(CategoryCode::Sms, r.state, r.found, r.nulls, {r.address, r.date, r.type, r.body});
}

std::uint32_t ResultStore::append(PCallValue r) {
    return keep(CategoryCode::CallLog, r.state, r.found, r.nulls,
                {r.number, r.name, r.type, r.duration, r.date});
}

const char* ResultStore::row(CategoryCode code, std::uint32_t index) const {
    const Category& c = category(code);
    if (c.passed > 0) {
        if (index + 1 != c.passed) throw std::out_of_range("a row passed through");
        return c.last.data();
    }
    return c.rows.at(index);
}

std::int32_t ResultStore::count(CategoryCode code) const {
    const Category& c = category(code);
    return static_cast<std::int32_t>(c.passed > 0 ? c.passed : c.rows.size());
}

bool ResultStore::anyRows() const {
    for (CategoryCode code : kAllCategories)
        if (count(code) > 0) return true;
    return false;
}

RecordState ResultStore::stateAt(CategoryCode code, std::uint32_t i) const {
    return static_cast<RecordState>(row(code, i)[0]);
}

Provenance ResultStore::foundAt(CategoryCode code, std::uint32_t i) const {
    return unpack(row(code, i), textCount(code)).found;
}

RowCells ResultStore::rowCells(CategoryCode code, std::uint32_t i) const {
    const Unpacked u = unpack(row(code, i), textCount(code));
    const std::vector<int>& texts = profileOf(code).cellText;
    RowCells out{{}, texts.size(), u.nulls};
    for (std::size_t c = 0; c < texts.size(); ++c)
        out.cells[c] =
            texts[c] < 0 ? stateText(u.state) : u.texts[static_cast<std::size_t>(texts[c])];
    return out;
}

RecordRange<PtelValue> ResultStore::ContactRecords() const {
    return {category(CategoryCode::Contacts).rows, contactOf};
}

RecordRange<PSMSvalue> ResultStore::SmsRecords() const {
    return {category(CategoryCode::Sms).rows, smsOf};
}

RecordRange<PCallValue> ResultStore::CallLogRecords() const {
    return {category(CategoryCode::CallLog).rows, callOf};
}

std::vector<std::uint32_t> ResultStore::rowsMatching(CategoryTag tag) const {
    std::vector<std::uint32_t> rows;
    const auto n = static_cast<std::uint32_t>(count(tag.code));
    for (std::uint32_t i = 0; i < n; ++i) {
        const RecordState s = stateAt(tag.code, i);
        if (tag.filter == RowFilter::All ||
            (tag.filter == RowFilter::Normal) == (s == RecordState::Normal))
            rows.push_back(i);
    }
    return rows;
}

}  // namespace pc
