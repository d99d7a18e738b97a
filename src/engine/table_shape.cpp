#include "table_shape.h"

#include <sqlite3.h>

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
    // WITHOUT ROWID tables keep their rows in an index b-tree: not ordinary tables here.
    const char* list =
        "SELECT name, wr FROM pragma_table_list WHERE schema = 'main' AND type = 'table' "
        "AND name NOT LIKE 'sqlite_%'";
    if (sqlite3_prepare_v2(db.get(), list, -1, &rawStmt, nullptr) != SQLITE_OK) return std::nullopt;
    std::unique_ptr<sqlite3_stmt, FinalizeStmt> stmt(rawStmt);
    if (sqlite3_step(stmt.get()) != SQLITE_ROW || sqlite3_column_int(stmt.get(), 1) != 0)
        return std::nullopt;
    TableShape shape;
    shape.name = columnText(stmt.get(), 0);
    shape.sql = sql;
    if (sqlite3_prepare_v2(db.get(), "SELECT name, type, pk FROM pragma_table_info(?)", -1,
                           &rawStmt, nullptr) != SQLITE_OK)
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
        shape.columns.push_back({columnText(stmt.get(), 0), declared, affinityOf(declared)});
    }
    // Only a primary key of one column declared exactly INTEGER stands for the row id.
    if (keyColumns == 1) shape.rowidColumn = integerKey;
    if (shape.columns.empty()) return std::nullopt;
    return shape;
}

}  // namespace pc
