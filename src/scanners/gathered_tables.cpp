#include "gathered_tables.h"

#include <algorithm>
#include <charconv>

#include "ascii_case.h"

namespace pc {

GatheredTable::GatheredTable(TableShape shape) : shape_(std::move(shape)) {
    for (const ColumnShape& c : shape_.columns)
        lowerNames_.push_back(asciiLower(c.name));
}

int GatheredTable::column(std::string_view name) const {
    const std::string wanted = asciiLower(name);
    const auto at = std::find(lowerNames_.begin(), lowerNames_.end(), wanted);
    return at == lowerNames_.end() ? -1 : static_cast<int>(at - lowerNames_.begin());
}

std::optional<std::int64_t> GatheredTable::number(const GatheredRow& row, int column) const {
    if (column < 0 || static_cast<std::size_t>(column) >= row.values.size()) return std::nullopt;
    const FieldValue& v = row.values[static_cast<std::size_t>(column)];
    if (const auto* i = std::get_if<std::int64_t>(&v)) return *i;
    if (const auto* s = std::get_if<std::string>(&v)) {
        std::int64_t n = 0;
        const auto [end, error] = std::from_chars(s->data(), s->data() + s->size(), n);
        if (error == std::errc() && end == s->data() + s->size() && !s->empty()) return n;
    }
    return std::nullopt;
}

std::string GatheredTable::text(const GatheredRow& row, int column) const {
    if (column < 0 || static_cast<std::size_t>(column) >= row.values.size()) return {};
    const FieldValue& v = row.values[static_cast<std::size_t>(column)];
    if (const auto* s = std::get_if<std::string>(&v)) return *s;
    if (const auto* i = std::get_if<std::int64_t>(&v)) return std::to_string(*i);
    return {};
}

std::optional<std::int64_t> GatheredTable::id(const GatheredRow& row) const {
    if (const auto key = number(row, shape_.rowidColumn)) return key;
    return row.rowid;
}

TableGatherer::TableGatherer(std::vector<std::string> tables, WalkEvents& events)
    : wanted_(std::move(tables)), events_(events) {
    for (std::string& name : wanted_)
        name = asciiLower(name);
}

CarveResult TableGatherer::gather(const std::string& path, const RecoveryOptions& options,
                                  const std::uint8_t& halted) {
    tables_.clear();
    byIndex_.clear();
    return carveTables(path, *this, options, halted);
}

const GatheredTable* TableGatherer::table(std::string_view name) const {
    for (const GatheredTable& t : tables_)
        if (asciiLower(t.shape().name) == asciiLower(name)) return &t;
    return nullptr;
}

void TableGatherer::tableFound(std::size_t index, const TableShape& shape) {
    if (byIndex_.size() <= index) byIndex_.resize(index + 1, -1);
    const std::string name = asciiLower(shape.name);
    const bool wanted = std::find(wanted_.begin(), wanted_.end(), name) != wanted_.end();
    if (!wanted || table(name)) return;
    byIndex_[index] = static_cast<int>(tables_.size());
    tables_.emplace_back(shape);
}

void TableGatherer::rowFound(const RecoveredRowView& row) {
    if (row.table >= byIndex_.size() || byIndex_[row.table] < 0) return;
    GatheredRow kept{row.state, row.source, row.offset, row.rowid, {}};
    kept.values.reserve(row.values.size());
    for (const ValueView& v : row.values)
        kept.values.push_back(toFieldValue(v));
    tables_[static_cast<std::size_t>(byIndex_[row.table])].rows().push_back(std::move(kept));
}

}  // namespace pc
