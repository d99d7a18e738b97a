#include "carved_record.h"

#include "byte_order.h"

namespace pc {

std::optional<std::span<const std::uint8_t>> CarvedRecord::wholeBody(std::uint32_t column) const {
    if (column >= layout_->columns) return std::span<const std::uint8_t>{};
    const std::uint64_t at = layout_->bodyOffsets[column];
    const std::uint64_t size = *serialBodySize(layout_->serialTypes[column]);
    if (at > bytes_.size() || size > bytes_.size() - at) return std::nullopt;
    return bytes_.subspan(at, size);
}

std::span<const std::uint8_t> CarvedRecord::body(std::uint32_t column) const {
    return wholeBody(column).value_or(std::span<const std::uint8_t>{});
}

std::string_view CarvedRecord::field(std::uint32_t column, FieldBuffer& buffer) const {
    const auto b = wholeBody(column);
    if (column == 0 || !b) return {};
    return FieldValueView(serialType(column), *b, buffer);
}

FieldNumber CarvedRecord::number(std::uint32_t column) const {
    using Kind = FieldNumber::Kind;
    const std::uint64_t t = column == 0 ? 12 : serialType(column);
    if (((t >= 1 && t <= 6) || t == 8 || t == 9) && wholeBody(column)) {
        // Read in the record's bytes rather than the value's alone, so that one load can serve.
        const auto width = static_cast<unsigned>(*serialBodySize(t));
        const std::uint64_t v =
            t >= 8 ? t - 8 : *readBigEndian(bytes_, layout_->bodyOffsets[column], width);
        if (v > static_cast<std::uint64_t>(INT64_MAX)) return {Kind::Other, 0};  // as its text
        return {Kind::Number, static_cast<std::int64_t>(v)};
    }
    FieldBuffer buffer;
    const std::string_view text = field(column, buffer);
    if (text.empty() || text == "NULL") return {Kind::Missing, 0};
    const auto v = parseDecimalInt64(text);
    return v ? FieldNumber{Kind::Number, *v} : FieldNumber{Kind::Other, 0};
}

}  // namespace pc
