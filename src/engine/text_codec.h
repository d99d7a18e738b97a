// Text at the system's edges: record texts arrive as UTF-8, files may want GB18030 (a superset of
// GBK that holds every Unicode character, so nothing turns into '?').
#pragma once

#include <string>
#include <string_view>

namespace pc {

// Strict UTF-8: no overlong forms, no surrogates, nothing beyond U+10FFFF.
bool isValidUtf8(std::string_view bytes);

// Converts valid UTF-8 to GB18030; throws std::runtime_error on input that is not UTF-8.
std::string utf8ToGb18030(std::string_view utf8);

// Converts GB18030 (and so GBK) bytes to UTF-8; throws std::runtime_error on malformed input.
std::string gb18030ToUtf8(std::string_view gb);

}  // namespace pc
