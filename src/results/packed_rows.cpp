#include "packed_rows.h"

#include <cstring>

namespace pc {

namespace {

template <typename T>
void put(std::string& out, T v) {
    out.append(reinterpret_cast<const char*>(&v), sizeof v);
}

template <typename T>
T get(const std::string& in, std::size_t& at) {
    T v;
    std::memcpy(&v, in.data() + at, sizeof v);
    at += sizeof v;
    return v;
}

// The bytes a row takes packed.
std::size_t packedSize(const RecoveredRowView& r) {
    std::size_t n = 4 + 1 + 1 + 8 + 1 + 8 + 4;
    for (const ValueView& v : r.values)
        n +=
            1 + (v.kind == ValueView::Kind::Integer || v.kind == ValueView::Kind::Real ? 8 : 0) +
            (v.kind == ValueView::Kind::Text || v.kind == ValueView::Kind::Blob ? 4 + v.bytes.size()
                                                                                : 0);
    return n;
}

}  // namespace

PackedRows::Place PackedRows::append(const RecoveredRowView& r) {
    const std::size_t size = packedSize(r);
    if (blocks_.empty() || blocks_.back().size() + size > blocks_.back().capacity()) {
        blocks_.emplace_back();
        blocks_.back().reserve(std::max(kBlock, size));
    }
    std::string& out = blocks_.back();
    const Place place = (Place{blocks_.size() - 1} << 32) | out.size();
    put(out, static_cast<std::uint32_t>(r.table));
    // The state, and whether the row was unreached in its top bit.
    put(out,
        static_cast<std::uint8_t>(static_cast<std::uint8_t>(r.state) | (r.unreached ? 0x80 : 0)));
    put(out, static_cast<std::uint8_t>(r.source));
    put(out, r.offset);
    put<std::uint8_t>(out, r.rowid ? 1 : 0);
    put(out, r.rowid.value_or(0));
    put(out, static_cast<std::uint32_t>(r.values.size()));
    for (const ValueView& v : r.values) {
        put(out, static_cast<std::uint8_t>(v.kind));
        if (v.kind == ValueView::Kind::Integer) put(out, v.integer);
        if (v.kind == ValueView::Kind::Real) put(out, v.real);
        if (v.kind == ValueView::Kind::Text || v.kind == ValueView::Kind::Blob) {
            put(out, static_cast<std::uint32_t>(v.bytes.size()));
            out.append(v.bytes);
        }
    }
    bytes_ += size;
    return place;
}

RecoveredRowView PackedRows::at(Place place, std::vector<ValueView>& values) const {
    std::size_t at = place & 0xFFFFFFFFu;
    return read(blocks_[place >> 32], at, values);
}

RecoveredRowView PackedRows::read(const std::string& block, std::size_t& at,
                                  std::vector<ValueView>& values) {
    RecoveredRowView r{};
    r.table = get<std::uint32_t>(block, at);
    const auto state = get<std::uint8_t>(block, at);
    r.state = static_cast<RecordState>(state & 0x7F);
    r.unreached = (state & 0x80) != 0;
    r.source = static_cast<SourceFile>(get<std::uint8_t>(block, at));
    r.offset = get<std::uint64_t>(block, at);
    const bool hasRowid = get<std::uint8_t>(block, at) != 0;
    const auto rowid = get<std::int64_t>(block, at);
    if (hasRowid) r.rowid = rowid;
    values.resize(get<std::uint32_t>(block, at));
    for (ValueView& v : values) {
        v = {};
        v.kind = static_cast<ValueView::Kind>(get<std::uint8_t>(block, at));
        if (v.kind == ValueView::Kind::Integer) v.integer = get<std::int64_t>(block, at);
        if (v.kind == ValueView::Kind::Real) v.real = get<double>(block, at);
        if (v.kind == ValueView::Kind::Text || v.kind == ValueView::Kind::Blob) {
            const auto n = get<std::uint32_t>(block, at);
            v.bytes = std::string_view(block.data() + at, n);
            at += n;
        }
    }
    r.values = values;
    return r;
}

void PackedRows::clear() {
    // The first block stays, ready to fill again; the rest go.
    if (blocks_.size() > 1) blocks_.resize(1);
    if (!blocks_.empty()) blocks_.front().clear();
    bytes_ = 0;
}

}  // namespace pc
