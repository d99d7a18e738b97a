#include "field_value.h"

#include <bit>
#include <cstring>

#include "text_codec.h"

namespace pc {

namespace {

std::int64_t integerOf(std::span<const std::uint8_t> body) {
    std::uint64_t v = 0;
    for (std::uint8_t b : body)
        v = (v << 8) | b;
    // Sign-extended from the body's width.
    const unsigned bits = static_cast<unsigned>(body.size()) * 8;
    if (bits < 64 && bits > 0 && (v >> (bits - 1)) & 1) v |= ~std::uint64_t{0} << bits;
    return static_cast<std::int64_t>(v);
}

}  // namespace

FieldValue fieldValue(std::uint64_t type, std::span<const std::uint8_t> body,
                      std::uint32_t encoding) {
    RowValues one;
    one.reset(1);
    one.set(0, type, body, encoding);
    return toFieldValue(one.values()[0]);
}

FieldValue toFieldValue(const ValueView& v) {
    using Kind = ValueView::Kind;
    switch (v.kind) {
        case Kind::Null: break;
        case Kind::Integer: return v.integer;
        case Kind::Real: return v.real;
        case Kind::Text: return std::string(v.bytes);
        case Kind::Blob: return Blob{{v.bytes.begin(), v.bytes.end()}};
    }
    return std::monostate{};
}

void RowValues::reset(std::size_t columns) {
    if (values_.size() < columns) {
        values_.resize(columns);
        texts_.resize(columns);
    }
    columns_ = columns;
    std::fill_n(values_.begin(), columns, ValueView{});
}

void RowValues::set(std::size_t column, std::uint64_t type, std::span<const std::uint8_t> body,
                    std::uint32_t encoding) {
    using Kind = ValueView::Kind;
    ValueView& v = values_[column];
    v = {};
    if (type == 0 || type == 10 || type == 11) return;
    if (type == 8 || type == 9) {
        v = {Kind::Integer, type == 9 ? 1 : 0, 0, {}};
    } else if (type == 7) {
        v.kind = Kind::Real;
        v.real = std::bit_cast<double>(static_cast<std::uint64_t>(integerOf(body)));
    } else if (type < 7) {
        v = {Kind::Integer, integerOf(body), 0, {}};
    } else {
        v.kind = type % 2 == 0 ? Kind::Blob : Kind::Text;
        const std::string_view bytes(reinterpret_cast<const char*>(body.data()), body.size());
        if (v.kind == Kind::Text && (encoding == 2 || encoding == 3)) {
            texts_[column] = textToUtf8(body, encoding);
            v.bytes = texts_[column];
        } else {
            v.bytes = bytes;
        }
    }
}

}  // namespace pc
