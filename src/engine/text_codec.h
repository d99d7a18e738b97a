// Text at the system's edges: record texts arrive as UTF-8, files may want GB18030 (a superset of
// GBK that holds every Unicode character, so nothing turns into '?').
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace pc {

// Length of the longest prefix of `bytes` that does not end inside a character: what is left of
// a text whose end was cut off at an arbitrary byte.
std::size_t utf8WholePrefix(std::string_view bytes);

// A text of a database in its text encoding (1 UTF-8, 2 UTF-16le, 3 UTF-16be) as UTF-8. UTF-8 is
// taken as it is; an unpaired surrogate or an odd last byte of UTF-16 becomes U+FFFD.
std::string textToUtf8(std::span<const std::uint8_t> text, std::uint32_t encoding);

// Converts valid UTF-8 to GB18030 from a table made at build time from iconv's own mapping, so
// that the two agree byte for byte (the few private-use characters iconv cannot encode become
// '?'); throws std::runtime_error on input that is not UTF-8.
std::string utf8ToGb18030(std::string_view utf8);
// The same, appended to `out`.
void appendGb18030(std::string& out, std::string_view utf8);

// Converts GB18030 (and so GBK) bytes to UTF-8; throws std::runtime_error on malformed input.
std::string gb18030ToUtf8(std::string_view gb);

}  // namespace pc
