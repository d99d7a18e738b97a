#include "record_layout.h"

#include <algorithm>

#include "MyFuns_.h"
#include "text_codec.h"

namespace pc {

bool decodeRecord(std::span<const std::uint8_t> payload, RecordLayout& layout,
                  std::uint32_t maxColumns) {
    const auto headerSize = readVarint(payload, 0);
    if (!headerSize || headerSize->value < headerSize->length || headerSize->value > payload.size())
        return false;
    layout.headerSize = static_cast<std::uint32_t>(headerSize->value);
    std::uint64_t at = headerSize->length;
    std::uint64_t body = headerSize->value;
    const auto header = payload.first(layout.headerSize);
    // Every column takes a header byte at least: room for them all is made once, and the loop,
    // run for every live cell of a scan, writes through plain pointers.
    const auto most =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(maxColumns, header.size() - at));
    layout.resize(most);
    std::uint64_t* types = layout.serialTypes.data();
    std::uint64_t* offsets = layout.bodyOffsets.data();
    std::uint32_t c = 0;
    while (at < header.size() && c < most) {
        const auto t = readVarint(header, at);
        if (!t) break;
        const auto size = serialBodySize(t->value);
        if (!size) break;  // the reserved types 10 and 11: nothing after them can be placed
        types[c] = t->value;
        offsets[c] = body;
        ++c;
        body += *size;
        at += t->length;
    }
    layout.columns = c;
    layout.bodyEnd = body;
    // Bodies follow one another: when the last ends in the payload, every one does.
    if (body > payload.size()) clipRecord(payload, layout, payload.size());
    return true;
}

void clipRecord(std::span<const std::uint8_t> bytes, RecordLayout& layout,
                std::uint64_t available) {
    for (std::uint32_t c = 0; c < layout.columns; ++c) {
        const std::uint64_t t = layout.serialTypes[c];
        const std::uint64_t start = layout.bodyOffsets[c];
        if (start + *serialBodySize(t) <= available) continue;
        if (t >= 13 && (t & 1) && start < available) {
            const auto there = bytes.subspan(start, available - start);
            const std::uint64_t whole =
                utf8WholePrefix({reinterpret_cast<const char*>(there.data()), there.size()});
            layout.serialTypes[c] = 13 + 2 * whole;
        } else {
            layout.serialTypes[c] = 0;
        }
    }
}

}  // namespace pc
