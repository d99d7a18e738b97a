// Arbitrary CREATE TABLE texts through both ways a table's shape is read (the scan's signature,
// with the SMS scan's rules, and SQLite's own reading for the carve of any table), each then
// carving a page of arbitrary bytes. Input: the text, a zero byte, the page.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "category_profile.h"
#include "column_signature.h"
#include "record_carver.h"
#include "table_carver.h"
#include "table_shape.h"

namespace {

constexpr std::uint32_t kPage = 1024;

struct Check : pc::CarveVisitor {
    pc::CarveStep onRecord(const pc::CarvedRecord& r, const pc::CarvedOverflow&) override {
        if (r.position() >= kPage || r.position() + r.headerLength() > kPage) __builtin_trap();
        for (std::uint32_t c = 0; c < columns; ++c)
            (void)r.text(c);
        return pc::CarveStep::NextByte;
    }
    std::uint32_t columns = 0;
};

void carveWithSignature(std::string_view sql, const std::vector<std::uint8_t>& page) {
    const pc::CategoryProfile& sms = pc::profileOf(pc::CategoryCode::Sms);
    const pc::ColumnSignature sig = pc::buildSignature(sql, sms.signature);
    if (sig.columns.size() != sig.columnCount) __builtin_trap();
    for (std::uint32_t w : sig.wantedIndex)
        if (w >= sig.columnCount && sig.columnCount != 0) __builtin_trap();
    (void)pc::signatureText(sig);
    if (sig.columnCount == 0) return;
    pc::RecordCarver carver(sig, sms.refused);
    Check check;
    check.columns = sig.columnCount;
    carver.carveRange({page, 0, kPage, kPage}, 0, kPage, check);
}

void carveWithShape(std::string_view sql, const std::vector<std::uint8_t>& page) {
    const auto shape = pc::tableShape(sql);
    if (!shape) return;
    const pc::TableShape stored = pc::storedShape(*shape);  // the carver keeps a reference
    for (std::uint32_t encoding : {1u, 2u, 3u}) {
        const pc::TableCarver carver(stored, encoding);
        std::vector<pc::FoundRecord> found;
        carver.findRecords(page, 0, kPage, found);
        std::vector<std::uint32_t> starts;
        for (const pc::FoundRecord& f : found)
            starts.push_back(f.begin);
        carver.rebuildMarked(page, 0, kPage, starts, found);
        auto rebuilt = carver.rebuildFreeblock(page, 0, kPage, starts);
        found.insert(found.end(), rebuilt.begin(), rebuilt.end());
        pc::RowValues values;
        for (const pc::FoundRecord& f : found) {
            if (f.begin >= f.end || f.end > kPage) __builtin_trap();
            carver.values(page, f, values);
            if (values.values().size() != shape->columns.size()) __builtin_trap();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string_view sql = input.substr(0, input.find('\0'));
    std::vector<std::uint8_t> page(kPage, 0);
    if (sql.size() < size) {
        const std::size_t rest = std::min<std::size_t>(size - sql.size() - 1, kPage);
        std::copy_n(data + sql.size() + 1, rest, page.begin());
    }
    carveWithSignature(sql, page);
    carveWithShape(sql, page);
    return 0;
}
