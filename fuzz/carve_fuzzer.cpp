// The carver on arbitrary pages with the tables and rules the scanners really carve with, at every
// page size, three ways: the widest vectors, SSE2, and one position at a time. They must find the
// same records, with the same fields, each inside the page.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "android_schemas.h"
#include "category_profile.h"
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
    if (at == std::string_view::npos) return {};
    return std::string(script.substr(at, script.find(";", at) - at));
}

// Each category's table in the old and the current schema, with the category's own rules.
std::vector<Table> tables() {
    namespace fx = pc::fixtures;
    using S = fx::AndroidSchema;
    const std::pair<pc::CategoryCode, S> cases[] = {
        {pc::CategoryCode::Sms, S::mmssms_old},
        {pc::CategoryCode::Sms, S::mmssms_new},
        {pc::CategoryCode::Contacts, S::contacts2_old},
        {pc::CategoryCode::Contacts, S::contacts2_new},
        {pc::CategoryCode::CallLog, S::calllog_new},
    };
    std::vector<Table> out;
    for (const auto& [code, schema] : cases) {
        const pc::CategoryProfile& profile = pc::profileOf(code);
        const std::string sql = tableSql(fx::androidSchema(schema), profile.signature.table);
        if (sql.empty()) __builtin_trap();  // the fixture lost the table
        out.push_back({pc::buildSignature(sql, profile.signature), profile.refused});
    }
    return out;
}

struct Collect : pc::CarveVisitor {
    pc::CarveStep onRecord(const pc::CarvedRecord& r, const pc::CarvedOverflow& o) override {
        if (r.position() < pageStart || r.position() >= pageStart + pageSize) __builtin_trap();
        found.push_back(r.position());
        found.push_back(r.headerLength());
        found.push_back(o.payloadSize);
        found.push_back(o.firstPage);
        for (std::uint32_t c = 1; c < columns; ++c)
            texts += r.text(c) + '\x1F';
        return pc::CarveStep::NextByte;
    }
    std::uint32_t columns = 0;
    std::uint64_t pageStart = 0, pageSize = 0;
    std::vector<std::uint64_t> found;
    std::string texts;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<Table> all = tables();
    if (size < 4) return 0;
    // Byte 0 picks the table, byte 1 the page size (512 to 65536), byte 2 the reserved bytes at
    // each page's end; the rest are the pages, the last one completed with zeros.
    const Table& table = all[data[0] % all.size()];
    const std::uint32_t pageSize = 512u << (data[1] % 8);
    const std::uint32_t usable = pageSize - data[2] % 64;
    std::vector<std::uint8_t> bytes(data + 3, data + size);
    bytes.resize((bytes.size() + pageSize - 1) / pageSize * pageSize);
    using V = pc::RecordCarver::Vectors;
    Collect results[3];
    for (V vectors : {V::None, V::Sse2, V::Widest}) {
        Collect& c = results[static_cast<int>(vectors)];
        c.columns = table.signature.columnCount;
        c.pageSize = pageSize;
        pc::RecordCarver carver(table.signature, table.refused, vectors);
        for (std::uint64_t start = 0; start + pageSize <= bytes.size(); start += pageSize) {
            c.pageStart = start;
            carver.carveRange({bytes, start, pageSize, usable}, 0, pageSize, c);
        }
    }
    for (int i = 1; i < 3; ++i)
        if (results[i].found != results[0].found || results[i].texts != results[0].texts)
            __builtin_trap();
    return 0;
}
