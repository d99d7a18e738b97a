#include "MyFuns_.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "byte_order.h"
#include "utf8_check.h"

namespace pc {

std::string_view SplitField(std::string_view text, char sep, std::size_t k) {
    for (std::size_t i = 0; i < k; ++i) {
        const auto at = text.find(sep);
        if (at == std::string_view::npos) break;
        text.remove_prefix(at + 1);
    }
    return text.substr(0, text.find(sep));
}

std::optional<Varint> readLongVarint(std::span<const std::uint8_t> bytes, std::uint64_t at,
                                     unsigned maxLength) {
    if (at >= bytes.size() || bytes[at] == 0x80) return std::nullopt;
    std::uint64_t value = 0;
    for (unsigned i = 0; i < maxLength; ++i) {
        if (at + i >= bytes.size()) return std::nullopt;
        const std::uint8_t b = bytes[at + i];
        if (i == 8) return Varint{(value << 8) | b, 9};  // the ninth byte gives all eight bits
        value = (value << 7) | (b & 0x7F);
        if (b < 0x80) return Varint{value, i + 1};
    }
    return std::nullopt;
}

namespace {

std::string_view decimal(std::uint64_t v, FieldBuffer& buffer) {
    const auto res = std::to_chars(buffer.data(), buffer.data() + buffer.size(), v);
    return {buffer.data(), static_cast<std::size_t>(res.ptr - buffer.data())};
}

std::string_view floatText(std::span<const std::uint8_t> body, FieldBuffer& buffer) {
    const std::uint64_t bits = *readBigEndian(body, 0, 8);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    const int n = std::snprintf(buffer.data(), buffer.size(), "%.15g", d);
    return {buffer.data(), static_cast<std::size_t>(n)};
}

// Days since 1970-01-01 to a civil date (proleptic Gregorian), after H. Hinnant's algorithm.
struct CivilDate {
    std::int64_t year;
    unsigned month, day;
};

CivilDate civilFromDaysAnyYear(std::int64_t z) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<std::uint64_t>(z - era * 146097);
    const std::uint64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::uint64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::uint64_t mp = (5 * doy + 2) / 153;
    const auto day = static_cast<unsigned>(doy - (153 * mp + 2) / 5 + 1);
    const auto month = static_cast<unsigned>(mp < 10 ? mp + 3 : mp - 9);
    const std::int64_t year = static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2);
    return {year, month, day};
}

// The same for the days of years -32,800 to 275,000, after C. Neri and L. Schneider ("Euclidean
// affine functions and their application to calendar algorithms", 2022): 32-bit multiplications
// and shifts in place of most divisions. Every row of a scan has a date taken apart here.
CivilDate civilFromDays(std::int64_t days) {
    constexpr std::uint32_t kShiftYears = 82;
    constexpr std::int64_t kShift = 719468 + 146097 * std::int64_t{kShiftYears};
    if (days < -kShift || days > 100'000'000) return civilFromDaysAnyYear(days);
    const auto n = static_cast<std::uint32_t>(days + kShift);
    const std::uint32_t n1 = 4 * n + 3;
    const std::uint32_t century = n1 / 146097;
    const std::uint32_t nc = n1 % 146097 / 4;
    const std::uint64_t p2 = std::uint64_t{2939745} * (4 * nc + 3);
    const auto yearOfCentury = static_cast<std::uint32_t>(p2 >> 32);
    const std::uint32_t dayOfYear = static_cast<std::uint32_t>(p2) / 2939745 / 4;
    const std::uint32_t n3 = 2141 * dayOfYear + 197913;
    const std::uint32_t month = n3 >> 16;
    const std::uint32_t day = (n3 & 0xFFFF) / 2141 + 1;
    const bool january = dayOfYear >= 306;  // the year counted from March ends in Jan and Feb
    const std::int64_t year =
        std::int64_t{100} * century + yearOfCentury - 400 * std::int64_t{kShiftYears} + january;
    return {year, january ? month - 12 : month, day};
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

}  // namespace

JavaDateTime javaDateTime(std::int64_t ms, std::int64_t utcOffsetSeconds) {
    const std::int64_t seconds = floorDiv(ms, 1000) + utcOffsetSeconds;
    const std::int64_t days = floorDiv(seconds, 86400);
    const CivilDate date = civilFromDays(days);
    return {date.year, date.month, date.day, seconds - days * 86400};
}

std::string_view FieldValueView(std::uint64_t t, std::span<const std::uint8_t> body,
                                FieldBuffer& buffer) {
    switch (t) {
        case 0: return "NULL";
        case 1:
        case 2:
        case 3:
        case 4:
        case 5:
        case 6: return decimal(*readBigEndian(body, 0, static_cast<unsigned>(body.size())), buffer);
        case 7: return floatText(body, buffer);
        case 8: return "0";
        case 9: return "1";
        default: break;
    }
    if (t < 13 || (t & 1) == 0) return {};
    const std::string_view text(reinterpret_cast<const char*>(body.data()), body.size());
    return isValidUtf8(text) ? text : std::string_view();
}

std::string_view formatJavaTime(const JavaDateTime& lt, FieldBuffer& buffer) {
    static constexpr auto kPairs = [] {
        std::array<char, 200> pairs{};
        for (int i = 0; i < 100; ++i) {
            pairs[2 * i] = static_cast<char>('0' + i / 10);
            pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
        }
        return pairs;
    }();
    char* out = buffer.data();
    auto two = [&](std::int64_t v) {
        std::memcpy(out, &kPairs[static_cast<std::size_t>(2 * v)], 2);
        out += 2;
    };
    if (lt.year >= 0 && lt.year <= 9999) {
        two(lt.year / 100);
        two(lt.year % 100);
    } else {
        out = std::to_chars(out, buffer.data() + 12, lt.year).ptr;
    }
    *out++ = '-';
    two(lt.month);
    *out++ = '-';
    two(lt.day);
    if (lt.secondOfDay != 0) {
        *out++ = ' ';
        two(lt.secondOfDay / 3600);
        *out++ = ':';
        two(lt.secondOfDay / 60 % 60);
        *out++ = ':';
        two(lt.secondOfDay % 60);
    }
    return {buffer.data(), static_cast<std::size_t>(out - buffer.data())};
}

std::optional<std::int64_t> parseDecimalInt64(std::string_view text) {
    const bool plus = !text.empty() && text.front() == '+';
    if (plus) text.remove_prefix(1);
    if (text.empty() ||
        !((text.front() >= '0' && text.front() <= '9') || (!plus && text.front() == '-')))
        return std::nullopt;
    std::int64_t v = 0;
    const auto res = std::from_chars(text.data(), text.data() + text.size(), v);
    if (res.ec != std::errc() || res.ptr != text.data() + text.size()) return std::nullopt;
    return v;
}

}  // namespace pc
