// Where the values of one record lie: a serial type and a body offset per column, as the record
// format (a header of varints, then the bodies in column order) places them.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace pc {

struct RecordLayout {
    std::vector<std::uint64_t> serialTypes;  // per column, column 0 first
    std::vector<std::uint64_t> bodyOffsets;  // per column, into the record's bytes
    std::uint32_t columns = 0;               // columns the record holds
    std::uint32_t headerSize = 0;            // bytes of the record header
    std::uint64_t bodyEnd = 0;  // where the bodies of the columns read end, before any cut

    void resize(std::uint32_t n) {
        if (serialTypes.size() < n) {
            serialTypes.resize(n);
            bodyOffsets.resize(n);
        }
        columns = n;
    }
};

// Reads the header of the record that `payload` starts with and places its bodies. A record cut
// short (a payload whose overflow chain broke) keeps the values that are there whole and the
// part of a text that is there; the values after become NULL. At most `maxColumns` columns are
// read. False when the header itself cannot be read.
bool decodeRecord(std::span<const std::uint8_t> payload, RecordLayout& layout,
                  std::uint32_t maxColumns);

// Cuts the values of `layout` to the first `available` bytes of the record: a text that runs
// past them keeps its whole characters there, any other value that does becomes NULL.
void clipRecord(std::span<const std::uint8_t> bytes, RecordLayout& layout, std::uint64_t available);

}  // namespace pc
