#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <vector>

#include "MyFuns_.h"
#include "byte_order.h"

namespace pc {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A big-endian read gives the same value at every width and place, with eight bytes or fewer
// left after it, and refuses one that runs past the end.
TEST(ReadBigEndian, EveryWidthAtEveryPlace) {
    const Bytes bytes = {0x81, 0x02, 0xF3, 0x04, 0x75, 0x06, 0xE7, 0x08,
                         0x99, 0x0A, 0xBB, 0x0C, 0x7D, 0x0E, 0xFF, 0x10};
    for (std::size_t at = 0; at <= bytes.size(); ++at)
        for (unsigned width = 0; width <= 8; ++width) {
            const auto v = readBigEndian(bytes, at, width);
            if (at + width > bytes.size()) {
                EXPECT_FALSE(v) << at << " " << width;
                continue;
            }
            std::uint64_t want = 0;
            for (unsigned i = 0; i < width; ++i)
                want = want << 8 | bytes[at + i];
            EXPECT_EQ(v, want) << at << " " << width;
        }
}

TEST(SplitField, FollowsTheFieldRules) {
    struct Case {
        std::string_view text;
        char sep;
        std::size_t k;
        std::string_view field;
    };
    for (const Case& c : std::vector<Case>{
             {"a,b,c", ',', 2, "c"},
             {"a,b", ',', 5, "b"},  // past the last field gives the last field again
             {",x", ',', 0, ""},
             {"abc", ',', 0, "abc"},
             {"name TEXT DEFAULT 0", ' ', 0, "name"},
             {"name TEXT DEFAULT 0", ' ', 1, "TEXT"},
             {"name TEXT DEFAULT 0", ' ', 9, "0"},
         }) {
        EXPECT_EQ(SplitField(c.text, c.sep, c.k), c.field) << c.text << " #" << c.k;
    }
}

TEST(Varint, DecodesSqliteVarintsAndRefusesWhatSqliteNeverWrites) {
    struct Case {
        Bytes bytes;
        unsigned maxLength;
        std::optional<std::uint64_t> value;
        unsigned length;
    };
    for (const Case& c : std::vector<Case>{
             {{0x05}, 9, 5, 1},
             {{0x7F, 0xFF}, 9, 127, 1},
             {{0x81, 0x00}, 9, 128, 2},
             {{0x83, 0x60}, 9, 480, 2},
             {{0x81, 0x80, 0x00}, 9, 16384, 3},  // a middle 0x80 continues, as in SQLite
             {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 9, ~std::uint64_t{0}, 9},
             {{0x80, 0x05}, 9, std::nullopt, 0},        // leading 0x80
             {{0x81, 0x81, 0x81}, 9, std::nullopt, 0},  // runs past the end
             {{0x81, 0x81, 0x01}, 2, std::nullopt, 0},  // longer than allowed
             {{}, 9, std::nullopt, 0},
         }) {
        const auto v = readVarint(c.bytes, 0, c.maxLength);
        ASSERT_EQ(v.has_value(), c.value.has_value());
        if (v) {
            EXPECT_EQ(v->value, *c.value);
            EXPECT_EQ(v->length, c.length);
        }
    }
}

TEST(SerialBodySize, FollowsTheRecordFormat) {
    const std::vector<std::pair<std::uint64_t, std::optional<std::uint64_t>>> cases = {
        {0, 0},
        {1, 1},
        {2, 2},
        {3, 3},
        {4, 4},
        {5, 6},
        {6, 8},
        {7, 8},
        {8, 0},
        {9, 0},
        {10, std::nullopt},
        {11, std::nullopt},
        {12, 0},
        {13, 0},
        {14, 1},
        {19, 3},
        {20, 4}};
    for (const auto& [type, size] : cases)
        EXPECT_EQ(serialBodySize(type), size) << type;
}

TEST(FieldValueText, DecodesEveryKindOfValue) {
    struct Case {
        std::uint64_t type;
        Bytes body;
        std::string text;
    };
    const std::string emoji = "收到😊";
    for (const Case& c : std::vector<Case>{
             {0, {}, "NULL"},
             {1, {0xFF}, "255"},  // unsigned: no sign extension
             {2, {0x01, 0x2C}, "300"},
             {3, {0x01, 0x00, 0x00}, "65536"},
             {5, {0x01, 0x3E, 0x9B, 0x6E, 0xD8, 0x00}, "1368407332864"},
             {6, {0, 0, 0, 0, 0, 0, 0x01, 0x00}, "256"},
             {7, {0x40, 0x0C, 0, 0, 0, 0, 0, 0}, "3.5"},
             {8, {}, "0"},
             {9, {}, "1"},
             {13, {}, ""},
             {19, {'a', 'b', 'c'}, "abc"},
             {13 + 2 * emoji.size(), Bytes(emoji.begin(), emoji.end()), emoji},
             {17, {0xE4, 0xBD}, ""},  // cut in the middle of a character
             {15, {0xC0}, ""},        // malformed
             {16, {1, 2}, ""},        // blob
         }) {
        EXPECT_EQ(FieldValueText(c.type, c.body), c.text) << "serial type " << c.type;
    }
}

TEST(JavaTimeToText, RendersUtcPlus8WithTheTimeLeftOutAtMidnight) {
    const std::vector<std::pair<std::int64_t, std::string>> cases = {
        {1368748800000, "2013-05-17 08:00:00"},
        {1368720000000, "2013-05-17"},
        {0, "1970-01-01 08:00:00"},
        {57600000, "1970-01-02"},
        {57600999, "1970-01-02"},  // milliseconds are not looked at
        {1368407332864, "2013-05-13 09:08:52"},
        {-1, "1970-01-01 07:59:59"},
        {951753600000, "2000-02-29"},
    };
    for (const auto& [ms, text] : cases)
        EXPECT_EQ(JavaTimeToText(ms), text) << ms;
}

// Dates taken apart agree with the standard library's calendar on every day of 1900 to 2200 and
// on days spread over all the years it can hold, at any time of day and offset; past its years,
// each day follows the one before, across the bounds where a faster way takes over.
TEST(JavaDateTime, AgreesWithTheCalendarOnEveryDay) {
    using namespace std::chrono;
    auto check = [](std::int64_t day, std::int64_t second, std::int64_t offset) {
        const JavaDateTime t = javaDateTime((day * 86400 + second - offset) * 1000 + 999, offset);
        const year_month_day want{sys_days{days{day}}};
        ASSERT_EQ(t.year, static_cast<int>(want.year())) << day;
        ASSERT_EQ(t.month, static_cast<unsigned>(want.month())) << day;
        ASSERT_EQ(t.day, static_cast<unsigned>(want.day())) << day;
        ASSERT_EQ(t.secondOfDay, second) << day;
    };
    const auto from = sys_days{year{1900} / 1 / 1}.time_since_epoch().count();
    const auto to = sys_days{year{2200} / 1 / 1}.time_since_epoch().count();
    for (std::int64_t day = from; day < to; ++day)
        check(day, (day * 7919 % 86400 + 86400) % 86400, kUtcPlus8);
    const auto first = sys_days{year{-32767} / 1 / 1}.time_since_epoch().count();
    const auto last = sys_days{year{32767} / 12 / 31}.time_since_epoch().count();
    std::mt19937_64 random(3);
    for (int i = 0; i < 300000; ++i)
        check(first + static_cast<std::int64_t>(random() % (last - first + 1)), random() % 86400,
              static_cast<std::int64_t>(random() % 100000) - 50000);

    auto follows = [](const JavaDateTime& a, const JavaDateTime& b) {
        const bool leap = a.year % 4 == 0 && (a.year % 100 != 0 || a.year % 400 == 0);
        const unsigned lengths[] = {31, leap ? 29u : 28u, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        if (a.day < lengths[a.month - 1])
            return b.year == a.year && b.month == a.month && b.day == a.day + 1;
        if (a.month < 12) return b.year == a.year && b.month == a.month + 1 && b.day == 1;
        return b.year == a.year + 1 && b.month == 1 && b.day == 1;
    };
    for (std::int64_t middle : {std::int64_t{-12699422}, std::int64_t{100000000}}) {
        JavaDateTime before = javaDateTime((middle - 800) * 86400000, 0);
        for (std::int64_t day = middle - 799; day < middle + 800; ++day) {
            const JavaDateTime t = javaDateTime(day * 86400000, 0);
            ASSERT_TRUE(follows(before, t))
                << day << ": " << t.year << "-" << t.month << "-" << t.day;
            before = t;
        }
    }
}

TEST(JavaTimeYear, IsTheWholeYearNotItsFirstDigits) {
    EXPECT_EQ(JavaTimeYear(1368748800000), 2013);
    EXPECT_EQ(JavaTimeYear(946655999999), 1999);  // 1999-12-31 23:59:59.999 in UTC+8
    EXPECT_EQ(JavaTimeYear(946656000000), 2000);
    EXPECT_EQ(JavaTimeYear(568971820800000), 20000);
    EXPECT_EQ(JavaTimeToText(568971820800000).substr(0, 4), "2000");  // why the text won't do
}

TEST(ParseDecimalInt64, AcceptsOnlyDecimalIntegers) {
    const std::vector<std::pair<std::string, std::optional<std::int64_t>>> cases = {
        {"0", 0},
        {"144", 144},
        {"-5", -5},
        {"+7", 7},
        {"9223372036854775807", INT64_MAX},
        {"9223372036854775808", std::nullopt},
        {"", std::nullopt},
        {"NULL", std::nullopt},
        {"3.5", std::nullopt},
        {" 1", std::nullopt},
        {"1 ", std::nullopt},
        {"+-1", std::nullopt},
        {"0x1A", std::nullopt}};
    for (const auto& [text, value] : cases)
        EXPECT_EQ(parseDecimalInt64(text), value) << text;
}

}  // namespace
}  // namespace pc
