// Arbitrary CREATE TABLE texts through the signature builder and into a carver.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "column_signature.h"
#include "record_carver.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view sql(reinterpret_cast<const char*>(data), size);
    static const pc::SignatureParams params{
        "t",
        pc::SignatureParams::Tail::AppendBlank,
        [](std::string_view item, std::string_view name) {
            return item.find("default") != std::string_view::npos || name == "type";
        },
        {"address", "date", "type", "body"}};
    const pc::ColumnSignature sig = pc::buildSignature(sql, params);
    if (sig.columns.size() != sig.columnCount) __builtin_trap();
    for (std::uint32_t w : sig.wantedIndex)
        if (w >= sig.columnCount) __builtin_trap();
    (void)pc::signatureText(sig);
    pc::RecordCarver carver(sig, pc::serialTypeSet({0, 6, 7}));
    return 0;
}
