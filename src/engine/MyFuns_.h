// Field codecs: how raw SQLite record bytes become the texts a scanner keeps and shows.
// Every value travels as text: integers as decimal, SQL NULL as "NULL".
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace pc {

// Field k (0-based) of `text` split at `sep`; asking past the last field gives the last field.
std::string_view SplitField(std::string_view text, char sep, std::size_t k);

struct Varint {
    std::uint64_t value;
    unsigned length;  // bytes taken, 1..9
};

// An SQLite varint at `at`, at most `maxLength` bytes long (1..9). A leading 0x80 is never written
// by SQLite, so it is refused, as is a varint that runs past the view or past maxLength.
std::optional<Varint> readLongVarint(std::span<const std::uint8_t> bytes, std::uint64_t at,
                                     unsigned maxLength);
// Most varints of a file are one byte: that case is read here, inline.
inline std::optional<Varint> readVarint(std::span<const std::uint8_t> bytes, std::uint64_t at,
                                        unsigned maxLength = 9) {
    if (at < bytes.size() && bytes[at] < 0x80 && maxLength > 0) return Varint{bytes[at], 1};
    return readLongVarint(bytes, at, maxLength);
}

// Body bytes of a serial type as the record format gives them; nullopt for the reserved 10 and 11.
inline std::optional<std::uint64_t> serialBodySize(std::uint64_t t) {
    constexpr std::uint8_t kFixed[12] = {0, 1, 2, 3, 4, 6, 8, 8, 0, 0, 0, 0};
    if (t < 12) {
        if (t == 10 || t == 11) return std::nullopt;
        return kFixed[t];
    }
    return (t - 12 - (t & 1)) / 2;  // blob (t-12)/2, text (t-13)/2
}

// Room for a field text that is not the record's own bytes: a number, "NULL", a date.
using FieldBuffer = std::array<char, 32>;

// The field text of one value; `body` holds exactly serialBodySize(serialType) bytes.
// Integers are unsigned big-endian, floats have up to 15 significant digits, blobs are empty,
// text that is not valid UTF-8 is empty. A text is a view of `body`; anything else is placed in
// `buffer`.
std::string_view FieldValueView(std::uint64_t serialType, std::span<const std::uint8_t> body,
                                FieldBuffer& buffer);
inline std::string FieldValueText(std::uint64_t serialType, std::span<const std::uint8_t> body) {
    FieldBuffer buffer;
    return std::string(FieldValueView(serialType, body, buffer));
}

// A Java millisecond count taken apart in UTC+8, or at another offset from UTC when one is given
// (the computer's own time zone plays no part).
struct JavaDateTime {
    std::int64_t year;
    unsigned month, day;
    std::int64_t secondOfDay;
};
constexpr std::int64_t kUtcPlus8 = 8 * 3600;
JavaDateTime javaDateTime(std::int64_t ms, std::int64_t utcOffsetSeconds = kUtcPlus8);

// As "yyyy-mm-dd hh:mm:ss", or "yyyy-mm-dd" at midnight.
std::string_view formatJavaTime(const JavaDateTime& t, FieldBuffer& buffer);
inline std::string_view formatJavaTime(std::int64_t ms, FieldBuffer& buffer) {
    return formatJavaTime(javaDateTime(ms), buffer);
}
inline std::string JavaTimeToText(std::int64_t ms) {
    FieldBuffer buffer;
    return std::string(formatJavaTime(ms, buffer));
}

// The calendar year of a Java millisecond count in UTC+8.
inline std::int64_t JavaTimeYear(std::int64_t ms) {
    return javaDateTime(ms).year;
}

// A decimal integer with an optional sign, nothing else; nullopt when the text is not one or
// does not fit in 64 bits.
std::optional<std::int64_t> parseDecimalInt64(std::string_view text);

}  // namespace pc
