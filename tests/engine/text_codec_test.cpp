#include <gtest/gtest.h>
#include <iconv.h>

#include <random>

#include "text_codec.h"
#include "utf8_check.h"

namespace pc {
namespace {

TEST(Utf8Validation, AcceptsUnicodeAndRefusesMalformedBytes) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"", true},
        {"plain ascii", true},
        {"中文短信", true},
        {"😊🎂", true},                 // beyond U+FFFF
        {"\xC0\xAF", false},          // overlong
        {"\xED\xA0\x80", false},      // surrogate
        {"\xF4\x90\x80\x80", false},  // beyond U+10FFFF
        {"\xE4\xBD", false},          // cut short
        {"\x80", false},
        // Inside runs of three-byte characters, which are checked four bytes at a time.
        {"中文\xE0\xA0\x80短信", true},   // U+0800
        {"中文\xED\x9F\xBF短信", true},   // U+D7FF
        {"中文\xED\xA0\x80短信", false},  // a surrogate
        {"中文\xE0\x9F\xBF短信", false},  // overlong
        {"中文短信\xE4\xBD", false},      // cut at the end of a run
        {"中文\xE4\xBDx短信", false},     // cut inside a run
    };
    for (const auto& [text, valid] : cases)
        EXPECT_EQ(isValidUtf8(text), valid) << text;
}

// The 32-byte check gives the byte-wise check's answer: every sequence of up to four bytes that
// matters (each lead with continuations at its edges, cut short, followed by a lead or ASCII)
// at every place around a block's edges, amid ASCII and amid Chinese, and random texts of the
// bytes that matter.
TEST(Utf8Validation, WideCheckAgreesWithTheByteWiseOne) {
    if (!haveWideUtf8Check()) GTEST_SKIP() << "no AVX2";
    const std::vector<std::uint8_t> edges{0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF,
                                          0xC0, 0xC1, 0xC2, 0xDF, 0xE0, 0xE1, 0xEC, 0xED, 0xEE,
                                          0xEF, 0xF0, 0xF1, 0xF3, 0xF4, 0xF5, 0xF8, 0xFF};
    std::vector<std::string> pieces;
    for (std::uint8_t a : edges)
        for (std::uint8_t b : edges) {
            pieces.push_back({char(a), char(b)});
            if (a < 0xE0) continue;
            for (std::uint8_t c : {0x41, 0x80, 0xBF, 0xC2, 0xE4})
                pieces.push_back({char(a), char(b), char(c)});
            if (a < 0xF0) continue;
            for (std::uint8_t d : {0x41, 0x80, 0xBF, 0xF0})
                pieces.push_back({char(a), char(b), char(0x80), char(d)});
        }
    int disagreements = 0, invalid = 0;
    auto compare = [&](const std::string& text) {
        const bool byteWise = isValidUtf8ByteWise(text);
        invalid += !byteWise;
        if (isValidUtf8Wide(text) != byteWise && ++disagreements <= 5)
            ADD_FAILURE() << testing::PrintToString(text);
    };
    const std::string ascii(100, 'a');
    std::string chinese;
    while (chinese.size() < 100)
        chinese += "中文";
    for (const std::string* filler : {&ascii, static_cast<const std::string*>(&chinese)})
        for (const std::string& piece : pieces)
            for (std::size_t at : {0, 1, 2, 27, 28, 29, 30, 31, 32, 33, 61, 62, 63, 64, 65, 96}) {
                std::string text = filler->substr(0, at) + piece;
                compare(text);  // the piece last: a character cut by the end
                compare(text + filler->substr(0, 40));
            }
    std::mt19937 random(13);
    for (int i = 0; i < 200000; ++i) {
        std::string text(32 + random() % 100, 'x');
        for (char& c : text)
            c = static_cast<char>(random() % 3 == 0 ? edges[random() % edges.size()] : "中"[i % 3]);
        compare(text);
    }
    EXPECT_EQ(disagreements, 0);
    EXPECT_GT(invalid, 1000);
}

TEST(Gb18030, KeepsGbkBytesAndEveryOtherCharacter) {
    EXPECT_EQ(utf8ToGb18030("中文"), "\xD6\xD0\xCE\xC4");  // identical to GBK
    EXPECT_EQ(utf8ToGb18030("abc\t\r\n"), "abc\t\r\n");
    for (const std::string s : {"短信😊🎂", "Zoë ⛰️", "\xE2\x82\xAC"})
        EXPECT_EQ(gb18030ToUtf8(utf8ToGb18030(s)), s);
    EXPECT_THROW(utf8ToGb18030("\xE4\xBD"), std::runtime_error);
}

TEST(Gb18030, GivesThePinnedBytesOfCharactersOutsideGbk) {
    EXPECT_EQ(utf8ToGb18030("😊"), "\x94\x39\xFD\x36");
    EXPECT_EQ(utf8ToGb18030("€"), "\xA2\xE3");
    EXPECT_EQ(utf8ToGb18030("\xC2\x80"), "\x81\x30\x81\x30");          // U+0080
    EXPECT_EQ(utf8ToGb18030("\xF4\x8F\xBF\xBF"), "\xE3\x32\x9A\x35");  // U+10FFFF
}

// The table agrees with iconv's own conversion on every character Unicode has; the few iconv
// cannot encode become '?'.
TEST(Gb18030, AgreesWithIconvOnEveryCodePoint) {
    iconv_t cd = iconv_open("GB18030", "UTF-8");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
    std::string utf8, expected;
    int differences = 0, unencodable = 0;
    for (std::uint32_t cp = 0; cp <= 0x10FFFF; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF) continue;
        utf8.clear();
        if (cp < 0x80) {
            utf8 += static_cast<char>(cp);
        } else if (cp < 0x800) {
            utf8 += static_cast<char>(0xC0 | (cp >> 6));
            utf8 += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            utf8 += static_cast<char>(0xE0 | (cp >> 12));
            utf8 += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            utf8 += static_cast<char>(0xF0 | (cp >> 18));
            utf8 += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            utf8 += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (cp & 0x3F));
        }
        char out[8];
        char* in = utf8.data();
        char* o = out;
        std::size_t inLeft = utf8.size(), outLeft = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &in, &inLeft, &o, &outLeft) == static_cast<std::size_t>(-1)) {
            ++unencodable;
            expected = "?";
        } else {
            expected.assign(out, sizeof out - outLeft);
        }
        if (utf8ToGb18030(utf8) != expected && ++differences < 5)
            ADD_FAILURE() << "U+" << std::hex << cp;
    }
    iconv_close(cd);
    EXPECT_EQ(differences, 0);
    EXPECT_LT(unencodable, 100);
}

}  // namespace
}  // namespace pc
