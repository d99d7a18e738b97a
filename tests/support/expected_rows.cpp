#include "expected_rows.h"

#include "category_profile.h"

#include <filesystem>

#include "call_log_scanner.h"
#include "record_bytes.h"
#include "scan_runner.h"
#include "sms_scanner.h"
#include "sqlite_db.h"
#include "temp_dir.h"

namespace pc::testing {

namespace fx = fixtures;
namespace fs = std::filesystem;

namespace {

RowText join(const std::vector<std::string>& cells) {
    RowText out;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i) out += '\x1F';
        out += cells[i];
    }
    return out;
}

std::string text(const fx::Value& v) {
    if (const auto* s = std::get_if<std::string>(&v)) return *s;
    if (const auto* i = std::get_if<std::int64_t>(&v)) return std::to_string(*i);
    return "NULL";
}

std::int64_t number(const fx::Value& v) {
    const auto* i = std::get_if<std::int64_t>(&v);
    return i ? *i : 0;
}

RowText smsText(const std::string& address, std::int64_t date, std::int64_t type,
                const std::string& body) {
    return join({address, utcPlus8Text(date), smsTypeText(type), body});
}

RowText callText(const std::string& number, const std::string& name, std::int64_t date,
                 std::int64_t duration, std::int64_t type) {
    return join({number, name, utcPlus8Text(date), std::to_string(duration), callTypeText(type)});
}

}  // namespace

RowText rowText(const ResultStore& store, CategoryCode code, std::uint32_t index) {
    const RowCells row = store.rowCells(code, index);
    const auto& names = profileOf(code).fields;
    std::vector<std::string> cells;
    for (std::size_t i = 0; i < row.size; ++i)
        if (std::string_view(names[i]) != "state") cells.emplace_back(row.cells[i]);
    return join(cells);
}

std::multiset<RowText> storedRows(const ResultStore& store, CategoryCode code, RecordState state) {
    std::multiset<RowText> out;
    for (std::uint32_t i = 0; i < static_cast<std::uint32_t>(store.count(code)); ++i)
        if (store.stateAt(code, i) == state) out.insert(rowText(store, code, i));
    return out;
}

ExpectedRows expectedRows(const fx::SmsFixture& f) {
    ExpectedRows e;
    for (const auto& m : f.live)
        e.live.insert(smsText(m.address, m.date, m.type, m.body));
    for (const auto& m : f.deleted) {
        const RowText t = smsText(m.address, m.date, m.type, m.body);
        e.deleted.insert(t);
        e.deletedRecords.push_back({t, {fx::recordBytesFromColumn1(m.row)}});
    }
    return e;
}

ExpectedRows expectedRows(const fx::CallsFixture& f) {
    ExpectedRows e;
    auto name = [](const fx::Call& c) { return c.name.empty() ? std::string("NULL") : c.name; };
    for (const auto& c : f.live)
        e.live.insert(callText(c.number, name(c), c.date, c.duration, c.type));
    for (const auto& c : f.deleted) {
        const RowText t = callText(c.number, name(c), c.date, c.duration, c.type);
        e.deleted.insert(t);
        e.deletedRecords.push_back({t, {fx::recordBytesFromColumn1(c.row)}});
    }
    return e;
}

ExpectedRows expectedRows(const fx::ContactsFixture& f) {
    ExpectedRows e;
    for (const auto& c : f.live)
        for (const auto& phone : c.phones)
            e.live.insert(join({c.name, phone}));
    for (const auto& c : f.deleted) {
        std::vector<std::vector<std::uint8_t>> records;
        for (const auto& row : c.rows)
            records.push_back(fx::recordBytesFromColumn1(row.row));
        for (const auto& phone : c.phones) {
            e.deleted.insert(join({c.name, phone}));
            e.deletedRecords.push_back({join({c.name, phone}), records});
        }
    }
    return e;
}

std::multiset<RowText> sqliteRows(const std::string& path, CategoryCode code) {
    TempDir dir;
    const std::string copy = dir.file("copy.db");
    for (const char* suffix : {"", "-wal", "-journal"})
        if (fs::exists(path + suffix)) fs::copy_file(path + suffix, copy + suffix);
    fx::SqliteDb db(copy);
    std::multiset<RowText> out;
    if (code == CategoryCode::Sms) {
        for (const auto& r : db.query("SELECT address, date, type, body FROM sms"))
            out.insert(smsText(text(r[0]), number(r[1]), number(r[2]), text(r[3])));
    } else if (code == CategoryCode::CallLog) {
        for (const auto& r : db.query("SELECT number, name, date, duration, type FROM calls"))
            out.insert(callText(text(r[0]), text(r[1]), number(r[2]), number(r[3]), number(r[4])));
    } else {
        for (const auto& r : db.query(
                 "SELECT n.data1, p.data1 FROM data p JOIN data n ON n.raw_contact_id = "
                 "p.raw_contact_id WHERE p.mimetype_id = (SELECT _id FROM mimetypes WHERE "
                 "mimetype = 'vnd.android.cursor.item/phone_v2') AND n.mimetype_id = (SELECT _id "
                 "FROM mimetypes WHERE mimetype = 'vnd.android.cursor.item/name')"))
            out.insert(join({text(r[0]), text(r[1])}));
    }
    return out;
}

std::vector<std::uint8_t> allFileBytes(const std::string& path) {
    std::vector<std::uint8_t> all;
    for (const char* suffix : {"", "-wal", "-journal"}) {
        if (!fs::exists(path + suffix)) continue;
        const auto bytes = readBytes(path + suffix);
        all.insert(all.end(), bytes.begin(), bytes.end());
    }
    return all;
}

}  // namespace pc::testing
