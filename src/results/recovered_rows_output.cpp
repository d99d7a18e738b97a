#include "recovered_rows_output.h"

#include <sqlite3.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "row_format.h"

namespace pc {

namespace {

void appendHex(std::string& out, const std::vector<std::uint8_t>& bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    for (std::uint8_t b : bytes) {
        out += kHex[b >> 4];
        out += kHex[b & 0xF];
    }
}

void appendReal(std::string& out, double d) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.17g", d);
    out += buf;
}

void appendJsonValue(std::string& out, const FieldValue& v) {
    if (const auto* i = std::get_if<std::int64_t>(&v))
        out += std::to_string(*i);
    else if (const auto* d = std::get_if<double>(&v))
        std::isfinite(*d) ? appendReal(out, *d) : void(out += "null");
    else if (const auto* s = std::get_if<std::string>(&v))
        appendJsonString(out, *s);
    else if (const auto* b = std::get_if<Blob>(&v)) {
        out += "{\"hex\":\"";
        appendHex(out, b->bytes);
        out += "\"}";
    } else
        out += "null";
}

void appendCsvValue(std::string& out, const FieldValue& v) {
    if (const auto* i = std::get_if<std::int64_t>(&v))
        out += std::to_string(*i);
    else if (const auto* d = std::get_if<double>(&v))
        appendReal(out, *d);
    else if (const auto* s = std::get_if<std::string>(&v))
        appendCsvField(out, *s);
    else if (const auto* b = std::get_if<Blob>(&v))
        appendHex(out, b->bytes);
}

}  // namespace

std::string valueText(const FieldValue& value) {
    if (std::holds_alternative<std::monostate>(value)) return "NULL";
    if (const auto* s = std::get_if<std::string>(&value)) return *s;
    std::string out;
    appendCsvValue(out, value);
    return out;
}

namespace {

const char* stateKey(RecordState s) {
    return s == RecordState::Deleted ? "deleted" : "normal";
}

// A table's name as a file name: path separators and control characters replaced.
std::string fileNameOf(const std::string& table) {
    std::string name;
    for (char c : table)
        name += (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20) ? '_' : c;
    if (name.empty() || name == "." || name == "..") name = "_" + name;
    return name + ".csv";
}

std::string quotedName(const std::string& name) {
    std::string out = "\"";
    for (char c : name)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

struct CloseDb {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct FinalizeStmt {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};

[[noreturn]] void sqliteFailed(const std::string& path, sqlite3* db) {
    throw ExportError("Cannot write \"" + path + "\". " + sqlite3_errmsg(db));
}

void bindValue(sqlite3_stmt* s, int at, const FieldValue& v) {
    if (const auto* i = std::get_if<std::int64_t>(&v))
        sqlite3_bind_int64(s, at, *i);
    else if (const auto* d = std::get_if<double>(&v))
        sqlite3_bind_double(s, at, *d);
    else if (const auto* t = std::get_if<std::string>(&v))
        sqlite3_bind_text(s, at, t->data(), static_cast<int>(t->size()), SQLITE_TRANSIENT);
    else if (const auto* b = std::get_if<Blob>(&v))
        sqlite3_bind_blob(s, at, b->bytes.data(), static_cast<int>(b->bytes.size()),
                          SQLITE_TRANSIENT);
    else
        sqlite3_bind_null(s, at);
}

}  // namespace

void appendRecoveredJson(std::string& out, const Recovery& recovery, const RecoveredRow& row) {
    const TableShape& table = recovery.tables[row.table];
    out += "{\"table\":";
    appendJsonString(out, table.name);
    if (table.dropped) out += ",\"dropped\":true";
    out += ",\"state\":\"";
    out += stateKey(row.state);
    out += "\",\"source\":\"";
    out += sourceKey(row.source);
    out += "\",\"offset\":" + std::to_string(row.offset) + ",\"rowid\":";
    out += row.rowid ? std::to_string(*row.rowid) : "null";
    out += ",\"values\":{";
    for (std::size_t c = 0; c < table.columns.size(); ++c) {
        if (c) out += ',';
        appendJsonString(out, table.columns[c].name);
        out += ':';
        appendJsonValue(out, c < row.values.size() ? row.values[c] : FieldValue{});
    }
    out += "}}\n";
}

std::vector<std::string> writeRecoveredCsv(const Recovery& recovery, const std::string& folder) {
    std::vector<std::string> written;
    for (std::size_t t = 0; t < recovery.tables.size(); ++t) {
        const TableShape& table = recovery.tables[t];
        std::string text = "_state,_source,_offset,_rowid";
        for (const ColumnShape& c : table.columns) {
            text += ',';
            appendCsvField(text, c.name);
        }
        text += "\r\n";
        bool any = false;
        for (const RecoveredRow& row : recovery.rows) {
            if (row.table != t) continue;
            any = true;
            text += stateKey(row.state);
            text += ',';
            text += sourceKey(row.source);
            text += ',' + std::to_string(row.offset) + ',';
            if (row.rowid) text += std::to_string(*row.rowid);
            for (const FieldValue& v : row.values) {
                text += ',';
                appendCsvValue(text, v);
            }
            text += "\r\n";
        }
        if (!any) continue;
        const std::string path = joinPath(folder, fileNameOf(table.name));
        writeWholeFile(path, text);
        written.push_back(path);
    }
    return written;
}

void writeRecoveredDatabase(const Recovery& recovery, const std::string& path) {
    if (std::filesystem::exists(path))
        throw ExportError("Cannot write \"" + path + "\". The file exists.");
    sqlite3* raw = nullptr;
    const int opened =
        sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    const std::unique_ptr<sqlite3, CloseDb> db(raw);
    if (opened != SQLITE_OK) sqliteFailed(path, raw);
    if (sqlite3_exec(db.get(), "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK)
        sqliteFailed(path, db.get());
    for (std::size_t t = 0; t < recovery.tables.size(); ++t) {
        const TableShape& table = recovery.tables[t];
        // Columns without types: values keep the class they were found in.
        std::string create =
            "CREATE TABLE " + quotedName(table.name) + "(_state, _source, _offset, _rowid";
        std::string insert = "INSERT INTO " + quotedName(table.name) + " VALUES(?,?,?,?";
        for (const ColumnShape& c : table.columns) {
            create += ", " + quotedName(c.name);
            insert += ",?";
        }
        create += ")";
        insert += ")";
        if (sqlite3_exec(db.get(), create.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
            sqliteFailed(path, db.get());
        sqlite3_stmt* rawStmt = nullptr;
        if (sqlite3_prepare_v2(db.get(), insert.c_str(), -1, &rawStmt, nullptr) != SQLITE_OK)
            sqliteFailed(path, db.get());
        const std::unique_ptr<sqlite3_stmt, FinalizeStmt> stmt(rawStmt);
        for (const RecoveredRow& row : recovery.rows) {
            if (row.table != t) continue;
            sqlite3_bind_text(stmt.get(), 1, stateKey(row.state), -1, SQLITE_STATIC);
            sqlite3_bind_text(stmt.get(), 2, sourceKey(row.source), -1, SQLITE_STATIC);
            sqlite3_bind_int64(stmt.get(), 3, static_cast<sqlite3_int64>(row.offset));
            row.rowid ? void(sqlite3_bind_int64(stmt.get(), 4, *row.rowid))
                      : void(sqlite3_bind_null(stmt.get(), 4));
            for (std::size_t c = 0; c < table.columns.size(); ++c)
                bindValue(stmt.get(), static_cast<int>(c) + 5,
                          c < row.values.size() ? row.values[c] : FieldValue{});
            if (sqlite3_step(stmt.get()) != SQLITE_DONE) sqliteFailed(path, db.get());
            sqlite3_reset(stmt.get());
        }
    }
    if (sqlite3_exec(db.get(), "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
        sqliteFailed(path, db.get());
}

}  // namespace pc
