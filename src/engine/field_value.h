// A column's value as a record holds it: NULL, an integer, a real, a text (made UTF-8 from the
// database's encoding) or a blob.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace pc {

struct Blob {
    std::vector<std::uint8_t> bytes;
    bool operator==(const Blob&) const = default;
};

using FieldValue = std::variant<std::monostate, std::int64_t, double, std::string, Blob>;

// The value of serial type `type` whose body is `body` (its whole body); texts in the
// database's `encoding` (1 UTF-8, 2 UTF-16le, 3 UTF-16be).
FieldValue fieldValue(std::uint64_t type, std::span<const std::uint8_t> body,
                      std::uint32_t encoding);

// A value as a view of the bytes it was read from: a text as UTF-8, a blob as its bytes. Valid
// while those bytes are.
struct ValueView {
    enum class Kind : std::uint8_t { Null, Integer, Real, Text, Blob };
    Kind kind = Kind::Null;
    std::int64_t integer = 0;
    double real = 0;
    std::string_view bytes;  // a text or blob
    bool operator==(const ValueView&) const = default;
};

FieldValue toFieldValue(const ValueView& v);

// The values of one row as views, one per column: UTF-8 texts view the record's bytes, texts of
// other encodings their UTF-8 copies kept here. Reused row after row without allocating anew.
class RowValues {
  public:
    // Starts a row of `columns` values, all NULL.
    void reset(std::size_t columns);
    // Column `column` holds serial type `type` with body `body`, its texts in `encoding`.
    void set(std::size_t column, std::uint64_t type, std::span<const std::uint8_t> body,
             std::uint32_t encoding);
    void setInteger(std::size_t column, std::int64_t v) {
        values_[column] = {ValueView::Kind::Integer, v, 0, {}};
    }
    std::span<const ValueView> values() const { return {values_.data(), columns_}; }

  private:
    std::vector<ValueView> values_;
    std::vector<std::string> texts_;  // by column: texts converted to UTF-8
    std::size_t columns_ = 0;
};

}  // namespace pc
