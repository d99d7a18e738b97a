// The carver on arbitrary pages with each scanner's real table, three ways: the widest vectors,
// SSE2, and one position at a time. They must find the same records, with the same fields.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "android_schemas.h"
#include "column_signature.h"
#include "record_carver.h"

namespace {

struct Table {
    pc::ColumnSignature signature;
    pc::SerialTypeSet refused;
};

// The CREATE TABLE text of `table` in one of Android's schema scripts.
std::string tableSql(std::string_view script, std::string_view table) {
    const std::string start = "CREATE TABLE " + std::string(table) + " (";
    const auto at = script.find(start);
    return std::string(script.substr(at, script.find(";", at) - at));
}

std::vector<Table> tables() {
    namespace fx = pc::fixtures;
    auto rule = [](std::string_view item, std::string_view name) {
        return item.find("default") != std::string_view::npos || name == "type" || name == "date";
    };
    const pc::SignatureParams params{"t", pc::SignatureParams::Tail::AppendBlank, rule, {}};
    return {
        {pc::buildSignature(tableSql(fx::androidSchema(fx::AndroidSchema::mmssms_new), "sms"),
                            params),
         pc::serialTypeSet({0, 6, 7})},
        {pc::buildSignature(tableSql(fx::androidSchema(fx::AndroidSchema::contacts2_new), "data"),
                            params),
         pc::serialTypeSet({0, 7})},
        {pc::buildSignature(tableSql(fx::androidSchema(fx::AndroidSchema::calllog_new), "calls"),
                            params),
         pc::serialTypeSet({0, 6, 7})},
    };
}

struct Collect : pc::CarveVisitor {
    pc::CarveStep onRecord(const pc::CarvedRecord& r, const pc::CarvedOverflow& o) override {
        found.push_back(r.position());
        found.push_back(r.headerLength());
        found.push_back(o.payloadSize);
        found.push_back(o.firstPage);
        for (std::uint32_t c = 1; c < columns; ++c)
            texts += r.text(c) + '\x1F';
        return pc::CarveStep::NextByte;
    }
    std::uint32_t columns = 0;
    std::vector<std::uint64_t> found;
    std::string texts;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<Table> all = tables();
    if (size < 3) return 0;
    // The input after two bytes as pages of 512 bytes, each carved whole; the second byte leaves
    // some of the last page's end to the reserved bytes.
    const std::vector<std::uint8_t> bytes(data + 2, data + size);
    const std::uint32_t pageSize = 512;
    const std::uint32_t usable = pageSize - data[1] % 32;
    const Table& table = all[data[0] % all.size()];
    using V = pc::RecordCarver::Vectors;
    Collect results[3];
    for (V vectors : {V::None, V::Sse2, V::Widest}) {
        Collect& c = results[static_cast<int>(vectors)];
        c.columns = table.signature.columnCount;
        pc::RecordCarver carver(table.signature, table.refused, vectors);
        for (std::uint64_t start = 0; start + pageSize <= bytes.size(); start += pageSize)
            carver.carveRange({bytes, start, pageSize, usable}, 0, pageSize, c);
    }
    for (int i = 1; i < 3; ++i)
        if (results[i].found != results[0].found || results[i].texts != results[0].texts)
            __builtin_trap();
    return 0;
}
