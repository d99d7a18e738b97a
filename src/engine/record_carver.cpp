#include "record_carver.h"

#include <algorithm>
#include <cstdint>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "btree_page.h"
#include "byte_order.h"

namespace pc {

namespace {

// Header bytes a record may take beyond one per column; longer headers are not looked for.
constexpr unsigned kMaxExtraHeaderBytes = 4;

// Texts of up to a megabyte: a serial type of at most three varint bytes. Longer ones lie on
// overflow pages that a carved record rarely still has.
constexpr std::uint64_t kMaxTextSerialType = (1u << 21) - 1;

// Columns tested together before positions are looked at one by one: enough to pass over
// zeros, index pages and integer bodies in bulk.
constexpr std::size_t kPrefixColumns = 8;

bool fitsTextColumn(std::uint64_t v) {
    return v == 0 || ((v & 1) && v >= 13 && v <= kMaxTextSerialType);
}

}  // namespace

RecordCarver::RecordCarver(const ColumnSignature& sig, SerialTypeSet refusedRequiredInt,
                           Vectors vectors)
    : columns_(sig.columnCount > 1 ? sig.columnCount - 1 : 0), byteClass_(columns_ * 256, kReject) {
    layout_.resize(std::max<std::uint32_t>(sig.columnCount, 1));
    layout_.serialTypes[0] = 0;  // column 0, the primary key: NULL, no body
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
                    cls[b] = (rule == Rule::Text ? fitsTextColumn(b) : b != 10 && b != 11)
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

std::uint32_t RecordCarver::fitHeader(const std::uint8_t* data, std::uint64_t pos,
                                      std::uint64_t limit) {
    std::uint64_t at = pos;
    unsigned extra = 0;
    for (std::size_t k = 0; k < columns_; ++k) {
        if (at >= limit) return 0;
        const std::uint8_t b = data[at];
        const std::uint8_t cls = byteClass_[k * 256 + b];
        if (cls == kSingle) {
            layout_.serialTypes[k + 1] = b;
            ++at;
            continue;
        }
        if (cls == kReject) return 0;
        const auto v = readVarint({data, limit}, at, 1 + kMaxExtraHeaderBytes - extra);
        if (!v) return 0;
        if (rules_[k] == Rule::Text && !fitsTextColumn(v->value)) return 0;
        layout_.serialTypes[k + 1] = v->value;
        extra += v->length - 1;
        at += v->length;
    }
    return static_cast<std::uint32_t>(at - pos);
}

bool RecordCarver::placeRecord(const CarvePage& page, std::uint64_t pos,
                               std::uint32_t headerLength) {
    // The record header: its size varint, column 0's NULL, then what the fit test read.
    std::uint64_t headerSize = 2 + headerLength;
    std::uint32_t sizeBytes = 1;
    if (headerSize > 127) {
        headerSize += 1;
        sizeBytes = 2;
    }
    // Room before the header for at least the payload-length and row-id varints of a cell.
    if (pos < page.pageStart + 2 + sizeBytes + 1) return false;
    const std::uint64_t payloadStart = pos - 1 - sizeBytes;
    std::uint64_t q = pos + headerLength;
    layout_.bodyOffsets[0] = q;
    for (std::size_t j = 1; j <= columns_; ++j) {
        const auto size = serialBodySize(layout_.serialTypes[j]);
        if (!size) return false;
        layout_.bodyOffsets[j] = q;
        q += *size;
    }
    const std::uint64_t payload = q - payloadStart;
    const std::uint32_t local = localPayloadSize(payload, page.usable, true);
    const std::uint64_t usableEnd = page.pageStart + page.usable;
    const std::uint64_t localEnd = payloadStart + local;
    overflow_ = {payloadStart, payload, local, 0};
    if (local == payload) return localEnd <= usableEnd;
    if (localEnd + 4 > usableEnd || localEnd < pos + headerLength) return false;
    overflow_.firstPage = *readBe32(page.buffer, localEnd);
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

void RecordCarver::carveRange(const CarvePage& page, std::uint32_t begin, std::uint32_t end,
                              CarveVisitor& visitor) {
    // A record without columns to test is nothing to look for.
    if (columns_ == 0 || begin >= end) return;
    const std::uint64_t from = page.pageStart + begin;
    const std::uint64_t to = page.pageStart + std::min(end, page.pageSize);
    if (block_ == 32)
        carveAvx2(page, from, to, visitor);
    else
        carveSse2(page, from, to, visitor);
}

// The hot loop. The positions where the first columns fit are found a vector at a time, so most
// bytes are never looked at one by one. Inlined into one function per vector width, so that the
// wide one is compiled for its instruction set.
template <unsigned Block, typename Mask>
[[gnu::always_inline]] inline void RecordCarver::carveBlocks(const CarvePage& page,
                                                             std::uint64_t begin, std::uint64_t end,
                                                             CarveVisitor& visitor, Mask startAt) {
    const std::uint8_t* const data = page.buffer.data();
    const std::uint64_t size = page.buffer.size();
    const std::uint64_t pageEnd = page.pageStart + page.pageSize;
    CarvedRecord record(page.buffer, layout_);
    record.setState(RecordState::Deleted);
    std::uint64_t pos = begin;
    for (std::uint64_t block = begin; block < end; block += Block) {
        if (pos >= block + Block) continue;
        std::uint32_t mask = startAt(data + block, size - block);
        if (pos > block) mask &= ~0u << (pos - block);
        if (end - block < Block) mask &= (1u << (end - block)) - 1;
        while (mask != 0) {
            const std::uint64_t p = block + static_cast<unsigned>(__builtin_ctz(mask));
            mask &= mask - 1;
            if (p < pos) continue;
            const std::uint32_t headerLength = fitHeader(data, p, pageEnd);
            if (headerLength == 0 || !placeRecord(page, p, headerLength)) {
                pos = p + 1;
                continue;
            }
            record.setPlace(SourceFile::Main, p);
            record.setHeaderLength(headerLength);
            pos = p +
                  (visitor.onRecord(record, overflow_) == CarveStep::SkipHeader ? headerLength : 1);
        }
    }
}

void RecordCarver::carveSse2(const CarvePage& page, std::uint64_t begin, std::uint64_t end,
                             CarveVisitor& visitor) {
    carveBlocks<16>(page, begin, end, visitor, [this](const std::uint8_t* at, std::uint64_t room) {
        return startMask(at, room);
    });
}

#if defined(__x86_64__)
__attribute__((target("avx2"))) void RecordCarver::carveAvx2(const CarvePage& page,
                                                             std::uint64_t begin, std::uint64_t end,
                                                             CarveVisitor& visitor) {
    carveBlocks<32>(
        page, begin, end, visitor,
        [this](const std::uint8_t* at, std::uint64_t room)
            __attribute__((target("avx2"))) { return startMask32(at, room); });
}
#else
void RecordCarver::carveAvx2(const CarvePage& page, std::uint64_t begin, std::uint64_t end,
                             CarveVisitor& visitor) {
    carveSse2(page, begin, end, visitor);
}
#endif

}  // namespace pc
