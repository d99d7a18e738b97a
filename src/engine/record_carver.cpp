#include "record_carver.h"

#include <algorithm>
#include <cstdint>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "byte_order.h"

namespace pc {

namespace {

// Pages the carver has passed are handed back to the system every so often, so that a file of
// many gigabytes is scanned in little resident memory.
constexpr std::uint64_t kReleaseStride = 64u << 20;

// Header bytes a record may take beyond one per column; longer headers are not looked for.
constexpr unsigned kMaxExtraHeaderBytes = 4;

constexpr std::uint8_t kTableLeafPage = 0x0D;

// Columns tested together before positions are looked at one by one: enough to pass over
// zeros, index pages and integer bodies in bulk.
constexpr std::size_t kPrefixColumns = 8;

bool fitsTextColumn(std::uint64_t v, std::uint32_t pageSize) {
    return v == 0 || ((v & 1) && v >= 13 && v <= pageSize);
}

}  // namespace

std::string_view CarvedRecord::field(std::uint32_t column, FieldBuffer& buffer) const {
    if (column == 0 || column >= serialTypes_->size()) return {};
    const std::uint64_t t = (*serialTypes_)[column];
    const std::uint64_t at = (*bodyOffsets_)[column];
    return FieldValueView(t, image_->bytes().subspan(at, *serialBodySize(t)), buffer);
}

FieldNumber CarvedRecord::number(std::uint32_t column) const {
    using Kind = FieldNumber::Kind;
    const std::uint64_t t =
        column == 0 || column >= serialTypes_->size() ? 12 : (*serialTypes_)[column];
    if ((t >= 1 && t <= 6) || t == 8 || t == 9) {
        const std::uint64_t at = (*bodyOffsets_)[column];
        const std::uint64_t v =
            t >= 8 ? t - 8 : *readBigEndian(image_->bytes(), at, *serialBodySize(t));
        if (v > static_cast<std::uint64_t>(INT64_MAX)) return {Kind::Other, 0};  // as its text
        return {Kind::Number, static_cast<std::int64_t>(v)};
    }
    FieldBuffer buffer;
    const std::string_view text = field(column, buffer);
    if (text.empty() || text == "NULL") return {Kind::Missing, 0};
    const auto v = parseDecimalInt64(text);
    return v ? FieldNumber{Kind::Number, *v} : FieldNumber{Kind::Other, 0};
}

RecordCarver::RecordCarver(const ColumnSignature& sig, SerialTypeSet refusedRequiredInt,
                           Vectors vectors)
    : columns_(sig.columnCount > 1 ? sig.columnCount - 1 : 0),
      byteClass_(columns_ * 256, kReject),
      serialTypes_(std::max<std::size_t>(sig.columnCount, 1)),
      bodyOffsets_(std::max<std::size_t>(sig.columnCount, 1)) {
    for (std::size_t k = 0; k < columns_; ++k) {
        const PTableField& f = sig.columns[k + 1];
        std::uint8_t* cls = &byteClass_[k * 256];
        if (f.typeCode == "i") {
            rules_.push_back(Rule::Integer);
            const SerialTypeSet refused = f.required ? refusedRequiredInt : serialTypeSet({7});
            for (unsigned b = 0; b < 10; ++b)
                cls[b] = (refused >> b) & 1 ? kReject : kSingle;
        } else {
            // Texts and untyped columns take a full varint; SQLite never starts one with 0x80.
            const Rule rule = f.typeCode == "c" ? Rule::Text : Rule::Untyped;
            rules_.push_back(rule);
            for (unsigned b = 0; b < 256; ++b) {
                if (b > 0x80)
                    cls[b] = kVarint;
                else if (b < 0x80)
                    cls[b] = (rule == Rule::Text ? fitsTextColumn(b, 512) : b != 10 && b != 11)
                                 ? kSingle
                                 : kReject;
            }
        }
        if (k < kPrefixColumns) {
            PrefixColumn c{rules_.back(), 0xFF, 0, {}};
            if (c.rule == Rule::Integer)
                for (std::uint8_t t = 0; t < 10; ++t)
                    if (cls[t] == kReject) c.refused[c.refusedCount++] = t;
            prefix_.push_back(c);
        }
    }
    vectors_ = vectors != Vectors::None;
#if defined(__x86_64__)
    if (vectors == Vectors::Widest && __builtin_cpu_supports("avx2")) block_ = 32;
#endif
}

std::uint32_t RecordCarver::fitHeader(std::span<const std::uint8_t> bytes, std::uint64_t pos,
                                      std::uint32_t pageSize) {
    const std::uint8_t* const data = bytes.data();
    const std::uint64_t size = bytes.size();
    std::uint64_t at = pos;
    unsigned extra = 0;
    for (std::size_t k = 0; k < columns_; ++k) {
        if (at >= size) return 0;
        const std::uint8_t b = data[at];
        const std::uint8_t cls = byteClass_[k * 256 + b];
        if (cls == kSingle) {
            serialTypes_[k + 1] = b;
            ++at;
            continue;
        }
        if (cls == kReject) return 0;
        const auto v = readVarint(bytes, at, 1 + kMaxExtraHeaderBytes - extra);
        if (!v) return 0;
        if (rules_[k] == Rule::Text && !fitsTextColumn(v->value, pageSize)) return 0;
        serialTypes_[k + 1] = v->value;
        extra += v->length - 1;
        at += v->length;
    }
    return static_cast<std::uint32_t>(at - pos);
}

bool RecordCarver::placeBody(std::uint64_t bodyStart, std::uint64_t imageSize) {
    std::uint64_t q = bodyStart;
    for (std::size_t j = 1; j <= columns_; ++j) {
        const auto size = serialBodySize(serialTypes_[j]);
        if (!size || q > imageSize || *size > imageSize - q) return false;
        bodyOffsets_[j] = q;
        q += *size;
    }
    return true;
}

inline std::uint32_t RecordCarver::startMask(const std::uint8_t* at, std::uint64_t room) const {
#if defined(__SSE2__)
    if (vectors_ && room >= 16 + prefix_.size()) {
        const __m128i zero = _mm_setzero_si128();
        const __m128i ones = _mm_cmpeq_epi8(zero, zero);
        __m128i single = ones;  // every column so far took one byte
        __m128i longer = zero;  // a text or untyped column so far starts a longer varint
        for (std::size_t k = 0; k < prefix_.size(); ++k) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + k));
            const PrefixColumn& c = prefix_[k];
            __m128i fit;
            if (c.rule == Rule::Integer) {
                fit = _mm_cmpeq_epi8(_mm_subs_epu8(v, _mm_set1_epi8(9)), zero);
                for (unsigned i = 0; i < c.refusedCount; ++i)
                    fit = _mm_andnot_si128(
                        _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(c.refused[i]))), fit);
            } else {
                // 0x81..0xFF (negative as signed bytes, above -128) lead a longer varint.
                // 0x81 up to the highest lead this column's varint can have.
                const __m128i lead = _mm_and_si128(
                    _mm_cmpeq_epi8(_mm_subs_epu8(_mm_set1_epi8(static_cast<char>(0x81)), v), zero),
                    _mm_cmpeq_epi8(
                        _mm_subs_epu8(v, _mm_set1_epi8(static_cast<char>(c.highestLead))), zero));
                longer = _mm_or_si128(longer, _mm_and_si128(single, lead));
                if (c.rule == Rule::Text) {  // 0, or odd from 13 to 127
                    const __m128i odd =
                        _mm_cmpeq_epi8(_mm_and_si128(v, _mm_set1_epi8(1)), _mm_set1_epi8(1));
                    fit = _mm_or_si128(_mm_cmpeq_epi8(v, zero),
                                       _mm_and_si128(odd, _mm_cmpgt_epi8(v, _mm_set1_epi8(12))));
                } else {  // below 0x80, but not the reserved 10 and 11
                    fit = _mm_cmpgt_epi8(v, _mm_set1_epi8(-1));
                    fit = _mm_andnot_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(10)), fit);
                    fit = _mm_andnot_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(11)), fit);
                }
            }
            single = _mm_and_si128(single, fit);
            // Most blocks have no candidate left after a column or two.
            if (_mm_movemask_epi8(single) == 0) break;
        }
        return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_or_si128(single, longer)));
    }
#endif
    std::uint32_t mask = 0;
    for (unsigned i = 0; i < 16 && i < room; ++i)
        mask |= (byteClass_[at[i]] != kReject ? 1u : 0u) << i;
    return mask;
}

#if defined(__x86_64__)
__attribute__((target("avx2"))) inline std::uint32_t RecordCarver::startMask32(
    const std::uint8_t* at, std::uint64_t room) const {
    if (room < 32 + prefix_.size())
        return startMask(at, room) | (room > 16 ? startMask(at + 16, room - 16) << 16 : 0);
    // The tests of startMask, thirty-two positions wide.
    const __m256i zero = _mm256_setzero_si256();
    __m256i single = _mm256_cmpeq_epi8(zero, zero);
    __m256i longer = zero;
    for (std::size_t k = 0; k < prefix_.size(); ++k) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + k));
        const PrefixColumn& c = prefix_[k];
        __m256i fit;
        if (c.rule == Rule::Integer) {
            fit = _mm256_cmpeq_epi8(_mm256_subs_epu8(v, _mm256_set1_epi8(9)), zero);
            for (unsigned i = 0; i < c.refusedCount; ++i)
                fit = _mm256_andnot_si256(
                    _mm256_cmpeq_epi8(v, _mm256_set1_epi8(static_cast<char>(c.refused[i]))), fit);
        } else {
            const __m256i lead = _mm256_and_si256(
                _mm256_cmpeq_epi8(_mm256_subs_epu8(_mm256_set1_epi8(static_cast<char>(0x81)), v),
                                  zero),
                _mm256_cmpeq_epi8(
                    _mm256_subs_epu8(v, _mm256_set1_epi8(static_cast<char>(c.highestLead))), zero));
            longer = _mm256_or_si256(longer, _mm256_and_si256(single, lead));
            if (c.rule == Rule::Text) {
                const __m256i odd = _mm256_cmpeq_epi8(_mm256_and_si256(v, _mm256_set1_epi8(1)),
                                                      _mm256_set1_epi8(1));
                fit = _mm256_or_si256(
                    _mm256_cmpeq_epi8(v, zero),
                    _mm256_and_si256(odd, _mm256_cmpgt_epi8(v, _mm256_set1_epi8(12))));
            } else {
                fit = _mm256_cmpgt_epi8(v, _mm256_set1_epi8(-1));
                fit = _mm256_andnot_si256(_mm256_cmpeq_epi8(v, _mm256_set1_epi8(10)), fit);
                fit = _mm256_andnot_si256(_mm256_cmpeq_epi8(v, _mm256_set1_epi8(11)), fit);
            }
        }
        single = _mm256_and_si256(single, fit);
        if (_mm256_movemask_epi8(single) == 0) break;
    }
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_or_si256(single, longer)));
}
#else
std::uint32_t RecordCarver::startMask32(const std::uint8_t* at, std::uint64_t room) const {
    return startMask(at, room) | (room > 16 ? startMask(at + 16, room - 16) << 16 : 0);
}
#endif

void RecordCarver::loadCellStarts(std::span<const std::uint8_t> page) {
    normalAt_.assign((page.size() + 63) / 64, 0);
    if (page.empty() || page[0] != kTableLeafPage) return;
    const std::uint32_t cells = readBe16(page, 3).value_or(0);
    for (std::uint32_t i = 0; i < cells; ++i) {
        const auto start = readBe16(page, 8 + 2 * static_cast<std::uint64_t>(i));
        if (!start) break;  // more cells claimed than the page has room for
        // Room for the payload length, row id and header size varints and column 0's serial type.
        for (std::uint32_t o = *start + 1u; o <= *start + 11u && o < page.size(); ++o)
            normalAt_[o / 64] |= std::uint64_t{1} << (o % 64);
    }
}

RecordState RecordCarver::stateAt(std::uint32_t offsetInPage) const {
    return (normalAt_[offsetInPage / 64] >> (offsetInPage % 64)) & 1 ? RecordState::Normal
                                                                     : RecordState::Deleted;
}

void RecordCarver::carve(const DatabaseImage& image, CarveVisitor& visitor) {
    // A text's serial type is at most the page size, so its varint has at most 3 bytes and its
    // first byte is at most this; untyped columns may hold anything.
    const unsigned textLead = std::max(0x84u, std::min(0xFFu, 0x80u + (image.pageSize() >> 7)));
    for (PrefixColumn& c : prefix_)
        c.highestLead = static_cast<std::uint8_t>(c.rule == Rule::Text ? textLead : 0xFF);
    CarvedRecord record;
    record.image_ = &image;
    record.serialTypes_ = &serialTypes_;
    record.bodyOffsets_ = &bodyOffsets_;
    std::uint64_t released = 0;
    for (std::uint32_t page = 1; page < image.pageCount(); ++page) {
        if (!visitor.onPage(page)) return;
        const std::uint64_t pageStart = std::uint64_t{page} * image.pageSize();
        if (pageStart - released >= kReleaseStride) {
            image.releaseBefore(pageStart);
            released = pageStart;
        }
        // A record without columns to test is nothing to look for.
        if (columns_ == 0) continue;
        if (block_ == 32)
            carvePageAvx2(image, pageStart, visitor, record);
        else
            carvePage(image, pageStart, visitor, record);
    }
}

// The hot loop. The positions where the first columns fit are found a vector at a time (pages are
// multiples of 512 bytes), so most bytes are never looked at one by one. Inlined into one
// function per vector width, so that the wide one is compiled for its instruction set.
template <unsigned Block, typename Mask>
[[gnu::always_inline]] inline void RecordCarver::carveBlocks(const DatabaseImage& image,
                                                             std::uint64_t pageStart,
                                                             CarveVisitor& visitor,
                                                             CarvedRecord& record, Mask startAt) {
    const auto bytes = image.bytes();
    const std::uint8_t* const data = bytes.data();
    const std::uint64_t pageEnd = pageStart + image.pageSize();
    bool cellsLoaded = false;
    std::uint64_t pos = pageStart;
    for (std::uint64_t block = pageStart; block < pageEnd; block += Block) {
        if (pos >= block + Block) continue;
        std::uint32_t mask = startAt(data + block, bytes.size() - block);
        if (pos > block) mask &= ~0u << (pos - block);
        while (mask != 0) {
            const std::uint64_t p = block + static_cast<unsigned>(__builtin_ctz(mask));
            mask &= mask - 1;
            if (p < pos) continue;
            const std::uint32_t headerLength = fitHeader(bytes, p, image.pageSize());
            if (headerLength == 0 || !placeBody(p + headerLength, bytes.size())) {
                pos = p + 1;
                continue;
            }
            record.pos_ = p;
            record.headerLength_ = headerLength;
            if (!cellsLoaded) {
                loadCellStarts(bytes.subspan(pageStart, image.pageSize()));
                cellsLoaded = true;
            }
            record.state_ = stateAt(static_cast<std::uint32_t>(p - pageStart));
            pos = p + (visitor.onRecord(record) == CarveStep::SkipHeader ? headerLength : 1);
        }
    }
}

void RecordCarver::carvePage(const DatabaseImage& image, std::uint64_t pageStart,
                             CarveVisitor& visitor, CarvedRecord& record) {
    carveBlocks<16>(
        image, pageStart, visitor, record,
        [this](const std::uint8_t* at, std::uint64_t room) { return startMask(at, room); });
}

#if defined(__x86_64__)
__attribute__((target("avx2"))) void RecordCarver::carvePageAvx2(const DatabaseImage& image,
                                                                 std::uint64_t pageStart,
                                                                 CarveVisitor& visitor,
                                                                 CarvedRecord& record) {
    carveBlocks<32>(
        image, pageStart, visitor,
        record, [this](const std::uint8_t* at, std::uint64_t room) __attribute__((target("avx2"))) {
            return startMask32(at, room);
        });
}
#else
void RecordCarver::carvePageAvx2(const DatabaseImage& image, std::uint64_t pageStart,
                                 CarveVisitor& visitor, CarvedRecord& record) {
    carvePage(image, pageStart, visitor, record);
}
#endif

}  // namespace pc
