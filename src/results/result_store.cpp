#include "result_store.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <span>
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

// The call log and the stores that join tables (chat, sender, date, type, body) keep five.
constexpr std::size_t textCount(CategoryCode code) {
    return code == CategoryCode::Contacts ? 2 : code == CategoryCode::Sms ? 4 : 5;
}

// The state byte's top bit: the category's long text lies in its blocks, its place after the
// lengths.
constexpr std::uint8_t kInBlocks = 0x80;
// In a row's source byte: its app marked it deleted.
constexpr std::uint8_t kMarkedDeleted = 0x80;

// A row's packed size and bytes; `spot`: where its long text lies in blocks, if it does.
std::size_t packedSize(Provenance found, std::span<const std::string_view> texts,
                       const std::optional<TextBlocks::Place>& spot, int longText) {
    std::size_t size = 3 + varintSize(found.offset);
    if (spot) size += varintSize(spot->block) + varintSize(spot->offset);
    for (std::size_t i = 0; i < texts.size(); ++i)
        size += varintSize(texts[i].size()) +
                (spot && static_cast<int>(i) == longText ? 0 : texts[i].size());
    return size;
}

void pack(char* w, RecordState state, Provenance found, NullCells nulls,
          std::span<const std::string_view> texts, const std::optional<TextBlocks::Place>& spot,
          int longText) {
    *w++ = static_cast<char>(static_cast<std::uint8_t>(state) | (spot ? kInBlocks : 0));
    *w++ = static_cast<char>(static_cast<std::uint8_t>(found.source) |
                             (found.markedDeleted ? kMarkedDeleted : 0));
    *w++ = static_cast<char>(nulls);
    putVarint(w, found.offset);
    for (std::string_view t : texts)
        putVarint(w, t.size());
    if (spot) {
        putVarint(w, spot->block);
        putVarint(w, spot->offset);
    }
    for (std::size_t i = 0; i < texts.size(); ++i) {
        // An empty view may have no data pointer at all.
        if (texts[i].empty() || (spot && static_cast<int>(i) == longText)) continue;
        std::memcpy(w, texts[i].data(), texts[i].size());
        w += texts[i].size();
    }
}

// `blocks`: where the category's long text lies when the row says so; none leaves that text
// empty (for readers of the rest of the row, who need not open a block).
Unpacked unpack(const char* r, CategoryCode code, const TextBlocks* blocks) {
    const std::size_t texts = textCount(code);
    const int longText = profileOf(code).longText;
    Unpacked u{};
    const auto first = static_cast<std::uint8_t>(r[0]);
    u.state = static_cast<RecordState>(first & ~kInBlocks);
    u.found.source = static_cast<SourceFile>(static_cast<std::uint8_t>(r[1]) & ~kMarkedDeleted);
    u.found.markedDeleted = (static_cast<std::uint8_t>(r[1]) & kMarkedDeleted) != 0;
    u.nulls = static_cast<NullCells>(r[2]);
    r += 3;
    u.found.offset = getVarint(r);
    std::array<std::size_t, 5> lengths{};
    for (std::size_t i = 0; i < texts; ++i)
        lengths[i] = getVarint(r);
    TextBlocks::Place place;
    const bool inBlocks = (first & kInBlocks) != 0;
    if (inBlocks) {
        place.block = static_cast<std::uint32_t>(getVarint(r));
        place.offset = static_cast<std::uint32_t>(getVarint(r));
    }
    for (std::size_t i = 0; i < texts; ++i) {
        if (inBlocks && static_cast<int>(i) == longText) {
            if (blocks) u.texts[i] = blocks->text(place, lengths[i]);
            continue;
        }
        u.texts[i] = {r, lengths[i]};
        r += lengths[i];
    }
    return u;
}

PtelValue contactOf(const char* r, const TextBlocks* blocks) {
    const Unpacked u = unpack(r, CategoryCode::Contacts, blocks);
    return {u.texts[0], u.texts[1], u.state, u.found, u.nulls};
}

PSMSvalue smsOf(const char* r, const TextBlocks* blocks) {
    const Unpacked u = unpack(r, CategoryCode::Sms, blocks);
    return {u.texts[0], u.texts[1], u.texts[2], u.texts[3], u.state, u.found, u.nulls};
}

// Texts: chat, sender, date, type, body.
template <CategoryCode Code>
PMessageValue messageOf(const char* r, const TextBlocks* blocks) {
    const Unpacked u = unpack(r, Code, blocks);
    return {Code,       u.texts[0], u.texts[1], u.texts[2], u.texts[3],
            u.texts[4], u.state,    u.found,    u.nulls};
}

// Texts: number, name, type, duration, date.
PCallValue callOf(const char* r, const TextBlocks* blocks) {
    const Unpacked u = unpack(r, CategoryCode::CallLog, blocks);
    return {u.texts[1], u.texts[0], u.texts[2], u.texts[3], u.texts[4], u.state, u.found, u.nulls};
}

}  // namespace

void ResultStore::beginCategory(CategoryCode code) {
    categories_[static_cast<std::size_t>(code)].clear();
}

PartIndex ResultStore::beginPart(CategoryCode code, std::string path) {
    Category& c = categories_[index(code)];
    if (c.parts.size() >= kWholeCategory) throw std::length_error("too many databases of a kind");
    c.parts.push_back({std::move(path), static_cast<std::uint32_t>(count(code))});
    return static_cast<PartIndex>(c.parts.size() - 1);
}

const std::string& ResultStore::partPath(CategoryCode code, PartIndex part) const {
    static const std::string none;
    const auto& parts = category(code).parts;
    return part < parts.size() ? parts[part].path : none;
}

PartIndex ResultStore::partOf(CategoryCode code, std::uint32_t i) const {
    const auto& parts = category(code).parts;
    const auto after =
        std::upper_bound(parts.begin(), parts.end(), i,
                         [](std::uint32_t row, const Part& p) { return row < p.first; });
    return after == parts.begin() ? 0 : static_cast<PartIndex>(after - parts.begin() - 1);
}

void ResultStore::keepLongTextsInBlocks(bool inBlocks) {
    for (CategoryCode code : kAllCategories) {
        Category& c = categories_[static_cast<std::size_t>(code)];
        c.clear();
        c.blocks.reset();
        if (inBlocks && profileOf(code).longText >= 0) c.blocks = std::make_unique<TextBlocks>();
    }
}

std::uint32_t ResultStore::keep(CategoryCode code, RecordState state, Provenance found,
                                NullCells nulls, std::initializer_list<std::string_view> texts) {
    Category& c = categories_[static_cast<std::size_t>(code)];
    const int longText = profileOf(code).longText;
    // In blocks only when rows are kept, and not a text longer than a block takes.
    const bool inBlocks = c.blocks && !passThrough_ && longText >= 0 &&
                          texts.begin()[longText].size() <= TextBlocks::kLongest;
    std::optional<TextBlocks::Place> spot;
    if (inBlocks) spot = c.blocks->keep(texts.begin()[longText]);
    const std::span<const std::string_view> all(texts.begin(), texts.size());
    auto [w, index] = place(code, packedSize(found, all, spot, longText));
    pack(w, state, found, nulls, all, spot, longText);
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
    const Unpacked u = unpack(r, code, blocks(code));
    const std::size_t texts = textCount(code);
    if (static_cast<std::uint8_t>(r[0]) & kInBlocks) {
        // Made whole again: the texts in the row itself.
        const std::span<const std::string_view> all(u.texts.data(), texts);
        repacked_.resize(packedSize(u.found, all, std::nullopt, -1));
        pack(repacked_.data(), u.state, u.found, u.nulls, all, std::nullopt, -1);
        return repacked_;
    }
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

std::uint32_t ResultStore::append(PMessageValue r) {
    return keep(r.code, r.state, r.found, r.nulls, {r.chat, r.sender, r.date, r.type, r.body});
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
    return static_cast<RecordState>(static_cast<std::uint8_t>(row(code, i)[0]) & ~kInBlocks);
}

Provenance ResultStore::foundAt(CategoryCode code, std::uint32_t i) const {
    return unpack(row(code, i), code, nullptr).found;
}

RowCells ResultStore::rowCells(CategoryCode code, std::uint32_t i) const {
    const Unpacked u = unpack(row(code, i), code, blocks(code));
    const std::vector<int>& texts = profileOf(code).cellText;
    RowCells out{{}, texts.size(), u.nulls};
    for (std::size_t c = 0; c < texts.size(); ++c)
        out.cells[c] =
            texts[c] < 0 ? stateText(u.state) : u.texts[static_cast<std::size_t>(texts[c])];
    return out;
}

std::string_view ResultStore::cellAt(CategoryCode code, std::uint32_t i, std::size_t cell) const {
    const int text = profileOf(code).cellText.at(cell);
    const bool longText = text == profileOf(code).longText;
    const Unpacked u = unpack(row(code, i), code, longText ? blocks(code) : nullptr);
    return text < 0 ? stateText(u.state) : u.texts[static_cast<std::size_t>(text)];
}

RecordRange<PtelValue> ResultStore::ContactRecords() const {
    return {category(CategoryCode::Contacts).rows, contactOf, blocks(CategoryCode::Contacts)};
}

RecordRange<PSMSvalue> ResultStore::SmsRecords() const {
    return {category(CategoryCode::Sms).rows, smsOf, blocks(CategoryCode::Sms)};
}

RecordRange<PSMSvalue> ResultStore::SmsRecordsWithoutBodies() const {
    return {category(CategoryCode::Sms).rows, smsOf, nullptr};
}

RecordRange<PCallValue> ResultStore::CallLogRecords() const {
    return {category(CategoryCode::CallLog).rows, callOf, blocks(CategoryCode::CallLog)};
}

RecordRange<PMessageValue> ResultStore::MessageRecords(CategoryCode code) const {
    using Decode = RecordRange<PMessageValue>::Decode;
    const Decode decode = code == CategoryCode::Mms ? messageOf<CategoryCode::Mms>
                          : code == CategoryCode::GoogleMessages
                              ? messageOf<CategoryCode::GoogleMessages>
                          : code == CategoryCode::WhatsApp ? messageOf<CategoryCode::WhatsApp>
                                                           : nullptr;
    if (!decode) throw std::invalid_argument("not a store of joined messages");
    return {category(code).rows, decode, blocks(code)};
}

std::vector<std::uint32_t> ResultStore::rowsMatching(CategoryTag tag) const {
    std::vector<std::uint32_t> rows;
    auto n = static_cast<std::uint32_t>(count(tag.code));
    std::uint32_t from = 0;
    const auto& parts = category(tag.code).parts;
    if (tag.part != kWholeCategory) {
        if (tag.part >= parts.size()) return rows;
        from = parts[tag.part].first;
        if (tag.part + 1u < parts.size()) n = parts[tag.part + 1u].first;
    }
    for (std::uint32_t i = from; i < n; ++i) {
        const RecordState s = stateAt(tag.code, i);
        if (tag.filter == RowFilter::All ||
            (tag.filter == RowFilter::Normal) == (s == RecordState::Normal))
            rows.push_back(i);
    }
    return rows;
}

}  // namespace pc
