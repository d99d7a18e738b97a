#include <gtest/gtest.h>

#include "text_codec.h"

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

TEST(Gb18030, KeepsGbkBytesAndEveryOtherCharacter) {
    EXPECT_EQ(utf8ToGb18030("中文"), "\xD6\xD0\xCE\xC4");  // identical to GBK
    EXPECT_EQ(utf8ToGb18030("abc\t\r\n"), "abc\t\r\n");
    for (const std::string s : {"短信😊🎂", "Zoë ⛰️", "\xE2\x82\xAC"})
        EXPECT_EQ(gb18030ToUtf8(utf8ToGb18030(s)), s);
    EXPECT_THROW(utf8ToGb18030("\xE4\xBD"), std::runtime_error);
}

}  // namespace
}  // namespace pc
