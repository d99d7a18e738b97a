#include "table_shape.h"
#include <cctype>

#include <sqlite3.h>

#include <cctype>
#include <memory>

namespace pc {

namespace {

bool has(std::string_view upper, std::string_view part) {
    return upper.find(part) != std::string_view::npos;
}

std::string upperOf(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

struct CloseDb {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct FinalizeStmt {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};

std::string columnText(sqlite3_stmt* s, int column) {
    const auto* text = sqlite3_column_text(s, column);
    return text ? reinterpret_cast<const char*>(text) : "";
}

bool hasKeyIndex(sqlite3* db, const std::string& table) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT 1 FROM pragma_index_list(?) WHERE origin = 'pk'", -1, &raw,
                           nullptr) != SQLITE_OK)
        return false;
    const std::unique_ptr<sqlite3_stmt, FinalizeStmt> stmt(raw);
    sqlite3_bind_text(stmt.get(), 1, table.c_str(), -1, SQLITE_TRANSIENT);
    return sqlite3_step(stmt.get()) == SQLITE_ROW;
}

// A WITHOUT ROWID table's records are its key index's entries: the key's columns, then the rest.
std::vector<std::size_t> storedOrder(sqlite3* db, const std::string& table) {
    sqlite3_stmt* raw = nullptr;
    const char* sql =
        "SELECT cid FROM pragma_index_xinfo((SELECT name FROM pragma_index_list(?1) "
        "WHERE origin = 'pk')) WHERE cid >= 0 ORDER BY seqno";
    if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) != SQLITE_OK) return {};
    const std::unique_ptr<sqlite3_stmt, FinalizeStmt> stmt(raw);
    sqlite3_bind_text(stmt.get(), 1, table.c_str(), -1, SQLITE_TRANSIENT);
    std::vector<std::size_t> order;
    while (sqlite3_step(stmt.get()) == SQLITE_ROW)
        order.push_back(static_cast<std::size_t>(sqlite3_column_int(stmt.get(), 0)));
    return order;
}

}  // namespace

Affinity affinityOf(std::string_view declaredType) {
    const std::string t = upperOf(declaredType);
    if (has(t, "INT")) return Affinity::Integer;
    if (has(t, "CHAR") || has(t, "CLOB") || has(t, "TEXT")) return Affinity::Text;
    if (t.empty() || has(t, "BLOB")) return Affinity::Blob;
    if (has(t, "REAL") || has(t, "FLOA") || has(t, "DOUB")) return Affinity::Real;
    return Affinity::Numeric;
}

std::optional<TableShape> tableShape(std::string_view createSql) {
    sqlite3* raw = nullptr;
    if (sqlite3_open_v2(":memory:", &raw, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(raw);
        return std::nullopt;
    }
    const std::unique_ptr<sqlite3, CloseDb> db(raw);
    const std::string sql(createSql);
    if (sqlite3_exec(db.get(), sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        return std::nullopt;
    sqlite3_stmt* rawStmt = nullptr;
    const char* list =
        "SELECT name, wr FROM pragma_table_list WHERE schema = 'main' AND type = 'table' "
        "AND name NOT LIKE 'sqlite_%'";
    if (sqlite3_prepare_v2(db.get(), list, -1, &rawStmt, nullptr) != SQLITE_OK) return std::nullopt;
    std::unique_ptr<sqlite3_stmt, FinalizeStmt> stmt(rawStmt);
    if (sqlite3_step(stmt.get()) != SQLITE_ROW) return std::nullopt;
    const bool withoutRowid = sqlite3_column_int(stmt.get(), 1) != 0;
    TableShape shape;
    shape.name = columnText(stmt.get(), 0);
    shape.sql = sql;
    if (sqlite3_prepare_v2(db.get(), "SELECT name, type, pk, \"notnull\" FROM pragma_table_info(?)",
                           -1, &rawStmt, nullptr) != SQLITE_OK)
        return std::nullopt;
    stmt.reset(rawStmt);
    sqlite3_bind_text(stmt.get(), 1, shape.name.c_str(), -1, SQLITE_TRANSIENT);
    int keyColumns = 0, integerKey = -1;
    while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
        const std::string declared = columnText(stmt.get(), 1);
        if (sqlite3_column_int(stmt.get(), 2) > 0) {
            ++keyColumns;
            if (upperOf(declared) == "INTEGER") integerKey = static_cast<int>(shape.columns.size());
        }
        shape.columns.push_back({columnText(stmt.get(), 0), declared, affinityOf(declared),
                                 sqlite3_column_int(stmt.get(), 3) != 0});
    }
    // Only a primary key of one column declared exactly INTEGER stands for the row id, and not
    // when SQLite gave it an index of its own ("INTEGER PRIMARY KEY DESC" is an ordinary column).
    if (shape.columns.empty()) return std::nullopt;
    if (withoutRowid) {
        shape.stored = storedOrder(db.get(), shape.name);
        if (shape.stored.size() != shape.columns.size()) return std::nullopt;
    } else if (keyColumns == 1 && !hasKeyIndex(db.get(), shape.name)) {
        shape.rowidColumn = integerKey;
    }
    return shape;
}

TableShape storedShape(const TableShape& shape) {
    TableShape out = shape;
    for (std::size_t i = 0; i < shape.stored.size(); ++i)
        out.columns[i] = shape.columns[shape.stored[i]];
    return out;
}

void toDeclaredOrder(const TableShape& shape, std::vector<FieldValue>& values) {
    if (shape.stored.empty() || values.size() != shape.stored.size()) return;
    std::vector<FieldValue> declared(values.size());
    for (std::size_t i = 0; i < values.size(); ++i)
        declared[shape.stored[i]] = std::move(values[i]);
    values = std::move(declared);
}

std::string fullTextColumnName(const std::string& stored) {
    std::size_t digits = 1;
    while (digits < stored.size() && std::isdigit(static_cast<unsigned char>(stored[digits])))
        ++digits;
    return stored.size() > digits && stored[0] == 'c' && digits > 1 ? stored.substr(digits)
                                                                    : stored;
}

}  // namespace pc
