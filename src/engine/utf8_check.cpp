#include "utf8_check.h"

#include <immintrin.h>

#include <array>
#include <cstdint>
#include <cstring>

namespace pc {

std::size_t utf8SequenceAt(const std::uint8_t* p, std::size_t available) {
    // The well-formed sequences of the Unicode standard (table 3-7): the lead byte fixes the
    // length and the range of the second byte; every later byte is 80..BF.
    struct Lead {
        std::uint8_t length, low, high;
    };
    static constexpr auto kLeads = [] {
        std::array<Lead, 256> t{};
        for (int b = 0; b < 0x80; ++b)
            t[b] = {1, 0, 0};
        for (int b = 0xC2; b <= 0xDF; ++b)
            t[b] = {2, 0x80, 0xBF};
        for (int b = 0xE0; b <= 0xEF; ++b)
            t[b] = {3, 0x80, 0xBF};
        t[0xE0] = {3, 0xA0, 0xBF};  // no overlong forms
        t[0xED] = {3, 0x80, 0x9F};  // no surrogates
        for (int b = 0xF0; b <= 0xF4; ++b)
            t[b] = {4, 0x80, 0xBF};
        t[0xF0] = {4, 0x90, 0xBF};
        t[0xF4] = {4, 0x80, 0x8F};  // nothing beyond U+10FFFF
        return t;
    }();
    if (available == 0) return 0;
    const Lead lead = kLeads[*p];
    if (lead.length <= 1) return lead.length;
    if (available < lead.length || p[1] < lead.low || p[1] > lead.high) return 0;
    for (unsigned i = 2; i < lead.length; ++i)
        if ((p[i] & 0xC0) != 0x80) return 0;
    return lead.length;
}

bool isValidUtf8ByteWise(std::string_view bytes) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end) {
        if (end - p >= 8) {  // eight ASCII bytes at a time
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            if ((word & 0x8080808080808080ull) == 0) {
                p += 8;
                continue;
            }
        }
        if (*p < 0x80) {
            ++p;
            continue;
        }
        // Runs of Chinese text: three-byte characters led by E1..EC or EE..EF, whose second
        // byte has the full 80..BF range, checked four bytes at a time.
        while (end - p >= 4) {
            std::uint32_t word;
            std::memcpy(&word, p, 4);
            const std::uint32_t lead = word & 0xFF;
            if ((word & 0x00C0C0F0u) != 0x008080E0u || lead == 0xE0 || lead == 0xED) break;
            p += 3;
        }
        if (p == end || *p < 0x80) continue;
        const std::size_t length = utf8SequenceAt(p, static_cast<std::size_t>(end - p));
        if (length == 0) return false;
        p += length;
    }
    return true;
}

namespace {

// The check of Keiser and Lemire ("Validating UTF-8 in less than one instruction per byte",
// 2021): three table look-ups by nibble name the errors a pair of bytes may make, and a byte two
// or three after a three- or four-byte lead must be a continuation.
enum : std::uint8_t {
    kTooShort = 1 << 0,   // a lead, then no continuation
    kTooLong = 1 << 1,    // ASCII, then a continuation
    kOverlong3 = 1 << 2,  // E0 80..9F
    kTooLarge = 1 << 3,   // F4 90..BF, F5..FF
    kSurrogate = 1 << 4,  // ED A0..BF
    kOverlong2 = 1 << 5,  // C0, C1
    // These two share a bit: the first byte's nibbles tell which of them a pair can make.
    kTooLarge1000 = 1 << 6,  // F5..FF, or F4 90..BF
    kOverlong4 = 1 << 6,     // F0 80..8F
    kTwoConts = 1 << 7,      // a continuation after a continuation (unless a lead asked for it)
    kCarry = kTooShort | kTooLong | kTwoConts,
};

__attribute__((target("avx2"))) inline __m256i table(const std::array<std::uint8_t, 16>& t) {
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(t.data())));
}

// The block's bytes moved `n` places later, the previous block's last ones in front.
template <int n>
__attribute__((target("avx2"))) inline __m256i earlier(__m256i block, __m256i previous) {
    return _mm256_alignr_epi8(block, _mm256_permute2x128_si256(previous, block, 0x21), 16 - n);
}

struct WideCheck {
    __m256i firstHigh, firstLow, secondHigh, nibble, incompleteAbove;

    __attribute__((target("avx2"))) WideCheck() {
        constexpr std::uint8_t kLeadF = kTooShort | kTooLarge | kTooLarge1000 | kOverlong4;
        firstHigh =
            table({kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong,
                   kTwoConts, kTwoConts, kTwoConts, kTwoConts, kTooShort | kOverlong2, kTooShort,
                   kTooShort | kOverlong3 | kSurrogate, kLeadF});
        constexpr std::uint8_t kLarge = kCarry | kTooLarge | kTooLarge1000;
        firstLow = table({kCarry | kOverlong3 | kOverlong2 | kOverlong4, kCarry | kOverlong2,
                          kCarry, kCarry, kCarry | kTooLarge, kLarge, kLarge, kLarge, kLarge,
                          kLarge, kLarge, kLarge, kLarge, kLarge | kSurrogate, kLarge, kLarge});
        constexpr std::uint8_t kCont = kTooLong | kOverlong2 | kTwoConts;
        secondHigh =
            table({kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort,
                   kTooShort, kCont | kOverlong3 | kTooLarge1000 | kOverlong4,
                   kCont | kOverlong3 | kTooLarge, kCont | kSurrogate | kTooLarge,
                   kCont | kSurrogate | kTooLarge, kTooShort, kTooShort, kTooShort, kTooShort});
        nibble = _mm256_set1_epi8(0x0F);
        // A lead in the last three bytes whose character goes on into the next block.
        incompleteAbove = _mm256_setr_epi8(
            -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
            -1, -1, -1, -1, -1, -1, -1, static_cast<char>(0xF0 - 1), static_cast<char>(0xE0 - 1),
            static_cast<char>(0xC0 - 1));
    }

    __attribute__((target("avx2"))) __m256i high(__m256i v) const {
        return _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble);
    }

    // The errors of `block`, given the block before it.
    __attribute__((target("avx2"))) __m256i errors(__m256i block, __m256i previous) const {
        const __m256i prev1 = earlier<1>(block, previous);
        const __m256i special = _mm256_and_si256(
            _mm256_and_si256(_mm256_shuffle_epi8(firstHigh, high(prev1)),
                             _mm256_shuffle_epi8(firstLow, _mm256_and_si256(prev1, nibble))),
            _mm256_shuffle_epi8(secondHigh, high(block)));
        // Only bytes two after E0..FF or three after F0..FF reach 80 here.
        const __m256i third = _mm256_subs_epu8(earlier<2>(block, previous), _mm256_set1_epi8(0x60));
        const __m256i fourth =
            _mm256_subs_epu8(earlier<3>(block, previous), _mm256_set1_epi8(0x70));
        const __m256i must =
            _mm256_and_si256(_mm256_or_si256(third, fourth), _mm256_set1_epi8(char(0x80)));
        return _mm256_xor_si256(must, special);
    }

    __attribute__((target("avx2"))) __m256i incomplete(__m256i block) const {
        return _mm256_subs_epu8(block, incompleteAbove);
    }
};

}  // namespace

__attribute__((target("avx2"))) bool isValidUtf8Wide(std::string_view bytes) {
    static const WideCheck check;
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
    std::size_t left = bytes.size();
    __m256i previous = _mm256_setzero_si256();
    __m256i pending = _mm256_setzero_si256();  // a character the last block left unfinished
    __m256i error = _mm256_setzero_si256();
    // Whole blocks, then the rest padded with zeros: ASCII, which ends nothing unfinished well.
    alignas(32) std::uint8_t tail[32];
    while (left > 0) {
        __m256i block;
        if (left >= 32) {
            block = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
            p += 32;
            left -= 32;
        } else {
            std::memset(tail, 0, sizeof tail);
            std::memcpy(tail, p, left);
            block = _mm256_load_si256(reinterpret_cast<const __m256i*>(tail));
            left = 0;
        }
        if (_mm256_movemask_epi8(block) == 0) {
            error = _mm256_or_si256(error, pending);
            pending = _mm256_setzero_si256();
        } else {
            error = _mm256_or_si256(error, check.errors(block, previous));
            pending = check.incomplete(block);
        }
        previous = block;
    }
    error = _mm256_or_si256(error, pending);
    return _mm256_testz_si256(error, error);
}

bool haveWideUtf8Check() {
    static const bool have = __builtin_cpu_supports("avx2");
    return have;
}

bool isValidUtf8(std::string_view bytes) {
    // Below a block, the byte-wise check's eight ASCII bytes at a time win.
    if (bytes.size() >= 32 && haveWideUtf8Check()) return isValidUtf8Wide(bytes);
    return isValidUtf8ByteWise(bytes);
}

}  // namespace pc
