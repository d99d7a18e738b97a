#include "result_store.h"

#include <stdexcept>

namespace pc {

namespace {

template <typename Records>
std::uint32_t push(Records& records, typename Records::value_type record) {
    records.push_back(record);
    return static_cast<std::uint32_t>(records.size() - 1);
}

}  // namespace

const std::vector<const char*>& rowFieldNames(CategoryCode code) {
    static const std::vector<const char*> contacts{"name", "phone", "state"};
    static const std::vector<const char*> sms{"address", "date", "type", "state", "body"};
    static const std::vector<const char*> calls{"number",   "name", "date",
                                                "duration", "type", "state"};
    switch (code) {
        case CategoryCode::Contacts: return contacts;
        case CategoryCode::Sms: return sms;
        case CategoryCode::CallLog: return calls;
    }
    throw std::out_of_range("category");
}

void ResultStore::beginCategory(CategoryCode code) {
    switch (code) {
        case CategoryCode::Contacts: contacts_.clear(); break;
        case CategoryCode::Sms: sms_.clear(); break;
        case CategoryCode::CallLog: calls_.clear(); break;
    }
}

std::uint32_t ResultStore::append(PtelValue r) {
    TextPool& t = contacts_.texts;
    return push(contacts_.records, {t.keep(r.name), t.keep(r.phone), r.state, r.found, r.nulls});
}

std::uint32_t ResultStore::append(PSMSvalue r) {
    TextPool& t = sms_.texts;
    return push(sms_.records, {t.keep(r.address), t.keep(r.date), t.keep(r.type), t.keep(r.body),
                               r.state, r.found, r.nulls});
}

std::uint32_t ResultStore::append(PCallValue r) {
    TextPool& t = calls_.texts;
    return push(calls_.records, {t.keep(r.name), t.keep(r.number), t.keep(r.type),
                                 t.keep(r.duration), t.keep(r.date), r.state, r.found, r.nulls});
}

std::int32_t ResultStore::count(CategoryCode code) const {
    switch (code) {
        case CategoryCode::Contacts: return static_cast<std::int32_t>(contacts_.records.size());
        case CategoryCode::Sms: return static_cast<std::int32_t>(sms_.records.size());
        case CategoryCode::CallLog: return static_cast<std::int32_t>(calls_.records.size());
    }
    return 0;
}

bool ResultStore::anyRows() const {
    return !contacts_.records.empty() || !sms_.records.empty() || !calls_.records.empty();
}

RecordState ResultStore::stateAt(CategoryCode code, std::uint32_t i) const {
    return visit(code, i, [](const auto& r) { return r.state; });
}

Provenance ResultStore::foundAt(CategoryCode code, std::uint32_t i) const {
    return visit(code, i, [](const auto& r) { return r.found; });
}

RowCells ResultStore::rowCells(CategoryCode code, std::uint32_t i) const {
    switch (code) {
        case CategoryCode::Contacts: {
            const PtelValue& r = contacts_.records.at(i);
            return {{r.name, r.phone, stateText(r.state)}, 3, r.nulls};
        }
        case CategoryCode::Sms: {
            const PSMSvalue& r = sms_.records.at(i);
            return {{r.address, r.date, r.type, stateText(r.state), r.body}, 5, r.nulls};
        }
        case CategoryCode::CallLog: {
            const PCallValue& r = calls_.records.at(i);
            return {{r.number, r.name, r.date, r.duration, r.type, stateText(r.state)}, 6, r.nulls};
        }
    }
    throw std::out_of_range("category");
}

std::vector<std::uint32_t> ResultStore::rowsMatching(CategoryTag tag) const {
    std::vector<std::uint32_t> rows;
    const auto n = static_cast<std::uint32_t>(count(tag.code));
    for (std::uint32_t i = 0; i < n; ++i) {
        const RecordState s = stateAt(tag.code, i);
        if (tag.filter == RowFilter::All ||
            (tag.filter == RowFilter::Normal) == (s == RecordState::Normal))
            rows.push_back(i);
    }
    return rows;
}

}  // namespace pc
