// Big-endian reads of the SQLite file format, bounds-checked against the view.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <span>

namespace pc {

// Unsigned big-endian integer of `width` bytes (1..8) at `at`; nullopt when it runs past the end.
inline std::optional<std::uint64_t> readBigEndian(std::span<const std::uint8_t> bytes,
                                                  std::uint64_t at, unsigned width) {
    if (at > bytes.size() || bytes.size() - at < width) return std::nullopt;
    // Where eight bytes are there to read, one load: the bytes after the value are shifted out.
    if (width - 1 < 8 && bytes.size() - at >= 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + at, 8);
        return __builtin_bswap64(word) >> (64 - 8 * width);
    }
    std::uint64_t v = 0;
    for (unsigned i = 0; i < width; ++i)
        v = (v << 8) | bytes[at + i];
    return v;
}

inline std::optional<std::uint16_t> readBe16(std::span<const std::uint8_t> bytes,
                                             std::uint64_t at) {
    auto v = readBigEndian(bytes, at, 2);
    if (!v) return std::nullopt;
    return static_cast<std::uint16_t>(*v);
}

inline std::optional<std::uint32_t> readBe32(std::span<const std::uint8_t> bytes,
                                             std::uint64_t at) {
    auto v = readBigEndian(bytes, at, 4);
    if (!v) return std::nullopt;
    return static_cast<std::uint32_t>(*v);
}

}  // namespace pc
