#include "record_key.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "byte_order.h"

namespace pc {

namespace {

// Two 64-bit lanes over the same words, each step a 128-bit product folded to 64 bits (as
// wyhash mixes): texts are taken sixteen bytes a step, so that keying whole rows costs little
// beside reading them.
class KeyHasher {
  public:
    void word(std::uint64_t w) {
        a_ = fold(a_ ^ w, kA);
        b_ = fold(b_ ^ w, kB);
    }
    void bytes(std::span<const std::uint8_t> s) {
        word(s.size());
        std::size_t i = 0;
        for (; i + 16 <= s.size(); i += 16) {
            std::uint64_t w0, w1;
            std::memcpy(&w0, s.data() + i, 8);
            std::memcpy(&w1, s.data() + i + 8, 8);
            const std::uint64_t a = fold(w0 ^ kA, w1 ^ a_);
            b_ = fold(w1 ^ kB, w0 ^ b_);
            a_ = a;
        }
        std::uint64_t tail[2] = {0, 0};
        std::memcpy(tail, s.data() + i, s.size() - i);
        word(tail[0]);
        if (s.size() - i > 8) word(tail[1]);
    }
    RecordKey key() const { return {fold(a_ ^ kC, b_ ^ kA), fold(b_ ^ kD, a_ ^ kB)}; }

  private:
    static std::uint64_t fold(std::uint64_t x, std::uint64_t y) {
        const unsigned __int128 p = static_cast<unsigned __int128>(x) * y;
        return static_cast<std::uint64_t>(p) ^ static_cast<std::uint64_t>(p >> 64);
    }
    static constexpr std::uint64_t kA = 0xA0761D6478BD642Full, kB = 0xE7037ED1A0B428DBull;
    static constexpr std::uint64_t kC = 0x8EBC6AF09C88C6E3ull, kD = 0x589965CC75374CC3ull;
    std::uint64_t a_ = 0x243F6A8885A308D3ull;
    std::uint64_t b_ = 0x13198A2E03707344ull;
};

enum Tag : std::uint64_t { kAbsent = 0xA0, kNull, kInteger, kFloat, kText, kBlob };

}  // namespace

bool RecordKeySet::insert(const RecordKey& key) {
    if (key == RecordKey{}) {
        const bool added = !hasZero_;
        hasZero_ = true;
        size_ += added;
        return added;
    }
    if ((size_ + 1) * 4 > slots_.size() * 3) rehash(std::max<std::size_t>(64, slots_.size() * 2));
    for (std::size_t i = home(key);;) {
        if (slots_[i] == key) return false;
        if (slots_[i] == RecordKey{}) {
            slots_[i] = key;
            ++size_;
            return true;
        }
        if (++i == slots_.size()) i = 0;
    }
}

bool RecordKeySet::contains(const RecordKey& key) const {
    if (key == RecordKey{}) return hasZero_;
    if (slots_.empty()) return false;
    for (std::size_t i = home(key);;) {
        if (slots_[i] == key) return true;
        if (slots_[i] == RecordKey{}) return false;
        if (++i == slots_.size()) i = 0;
    }
}

void RecordKeySet::reserve(std::size_t count) {
    const std::size_t slots = std::max<std::size_t>(64, count / 3 * 4 + 4);
    if (slots > slots_.size()) rehash(slots);
}

void RecordKeySet::insertAll(std::span<const RecordKey> keys) {
    reserve(size_ + keys.size());
    constexpr std::size_t kAhead = 16;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (i + kAhead < keys.size()) __builtin_prefetch(&slots_[home(keys[i + kAhead])], 1);
        insert(keys[i]);
    }
}

void RecordKeySet::rehash(std::size_t slots) {
    ZeroedArray<RecordKey> old(slots);
    std::swap(old, slots_);
    for (const RecordKey& key : old) {
        if (key == RecordKey{}) continue;
        std::size_t i = home(key);
        while (slots_[i] != RecordKey{})
            if (++i == slots_.size()) i = 0;
        slots_[i] = key;
    }
}

RecordKey recordKey(const CarvedRecord& record, std::span<const std::uint32_t> columns) {
    KeyHasher h;
    for (std::uint32_t c : columns) {
        if (c == 0) {
            h.word(kAbsent);
            continue;
        }
        const std::uint64_t t = record.serialType(c);
        const auto body = record.body(c);
        if (t == 0) {
            h.word(kNull);
        } else if (t <= 6 || t == 8 || t == 9) {
            // Sign-extended, so that a value is one key whatever width held it.
            std::uint64_t v =
                t >= 8 ? t - 8
                       : readBigEndian(body, 0, static_cast<unsigned>(body.size())).value_or(0);
            if (t < 6 && !body.empty() && (body[0] & 0x80))
                v |= ~std::uint64_t{0} << (8 * body.size());
            h.word(kInteger);
            h.word(v);
        } else if (t == 7) {
            h.word(kFloat);
            h.word(readBigEndian(body, 0, 8).value_or(0));
        } else {
            h.word(t & 1 ? kText : kBlob);
            h.bytes(body);
        }
    }
    return h.key();
}

RecordKey valuesKey(std::uint64_t table, std::span<const ValueView> values, int without) {
    KeyHasher h;
    h.word(table);
    for (std::size_t c = 0; c < values.size(); ++c) {
        const ValueView& v = static_cast<int>(c) == without ? ValueView{} : values[c];
        h.word(kNull + static_cast<std::uint64_t>(v.kind));
        switch (v.kind) {
            case ValueView::Kind::Null: break;
            case ValueView::Kind::Integer: h.word(static_cast<std::uint64_t>(v.integer)); break;
            case ValueView::Kind::Real: h.word(std::bit_cast<std::uint64_t>(v.real)); break;
            case ValueView::Kind::Text:
            case ValueView::Kind::Blob:
                h.bytes({reinterpret_cast<const std::uint8_t*>(v.bytes.data()), v.bytes.size()});
                break;
        }
    }
    return h.key();
}

RecordKey extendedKey(const RecordKey& key, std::uint64_t number) {
    KeyHasher h;
    h.word(key.a);
    h.word(key.b);
    h.word(number);
    return h.key();
}

}  // namespace pc
