#include "field_value.h"

#include <bit>
#include <cstring>

#include "text_codec.h"

namespace pc {

FieldValue fieldValue(std::uint64_t type, std::span<const std::uint8_t> body,
                      std::uint32_t encoding) {
    if (type == 0 || type == 10 || type == 11) return std::monostate{};
    if (type == 8) return std::int64_t{0};
    if (type == 9) return std::int64_t{1};
    if (type <= 7) {
        std::uint64_t v = 0;
        for (std::uint8_t b : body)
            v = (v << 8) | b;
        if (type == 7) return std::bit_cast<double>(v);
        // Sign-extend from the body's width.
        const unsigned bits = static_cast<unsigned>(body.size()) * 8;
        if (bits < 64 && bits > 0 && (v >> (bits - 1)) & 1) v |= ~std::uint64_t{0} << bits;
        return static_cast<std::int64_t>(v);
    }
    if (type % 2 == 0) return Blob{{body.begin(), body.end()}};
    return textToUtf8(body, encoding);
}

}  // namespace pc
