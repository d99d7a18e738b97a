// Strict UTF-8 checks: the Unicode standard's well-formed sequences (table 3-7), no overlong
// forms, no surrogates, nothing beyond U+10FFFF. Every text of every row passes through one, so
// long texts are checked 32 bytes at a time where the processor can.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pc {

bool isValidUtf8(std::string_view bytes);

// The length of the well-formed sequence at `p` (1 for ASCII), with `available` bytes there; 0
// when none starts there.
std::size_t utf8SequenceAt(const std::uint8_t* p, std::size_t available);

// The same answer, byte by byte: the reference the wide check is held to, and what short texts
// take.
bool isValidUtf8ByteWise(std::string_view bytes);
// The same answer, 32 bytes at a time; only where the processor has AVX2.
bool isValidUtf8Wide(std::string_view bytes);
bool haveWideUtf8Check();

}  // namespace pc
