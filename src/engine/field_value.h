// A column's value as a record holds it: NULL, an integer, a real, a text (made UTF-8 from the
// database's encoding) or a blob.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace pc {

struct Blob {
    std::vector<std::uint8_t> bytes;
    bool operator==(const Blob&) const = default;
};

using FieldValue = std::variant<std::monostate, std::int64_t, double, std::string, Blob>;

// The value of serial type `type` whose body is `body` (its whole body); texts in the
// database's `encoding` (1 UTF-8, 2 UTF-16le, 3 UTF-16be).
FieldValue fieldValue(std::uint64_t type, std::span<const std::uint8_t> body,
                      std::uint32_t encoding);

}  // namespace pc
