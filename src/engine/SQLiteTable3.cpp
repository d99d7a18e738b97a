#include "SQLiteTable3.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstring>

#include "ascii_case.h"
#include "database_image.h"
#include "database_source.h"
#include "file_error.h"
#include "pages_vfs.h"

namespace pc {

std::string ErrorCodeText(int code) {
    static constexpr const char* kTexts[] = {
        "Successful result",
        "SQL error or missing database",
        "An internal logic error in SQLite",
        "Access permission denied",
        "Callback routine requested an abort",
        "The database file is locked",
        "A table in the database is locked",
        "A malloc() failed",
        "Attempt to write a readonly database",
        "Operation terminated by sqlite3_interrupt()",
        "Some kind of disk I/O error occurred",
        "The database disk image is malformed",
        "(Internal Only) Table or record not found",
        "Insertion failed because database is full",
        "Unable to open the database file",
        "Database lock protocol error",
        "Database is empty",
        "The database schema changed",
        "Too much data for one row of a table",
        "Abort due to contraint violation",
        "Data type mismatch",
        "Library used incorrectly",
        "Uses OS features not supported on host",
        "Authorization denied",
        "Auxiliary database format error",
        "2nd parameter to sqlite3_bind out of range",
        "File opened that is not a database file",
    };
    if (code >= 0 && code < static_cast<int>(std::size(kTexts))) return kTexts[code];
    if (code == SQLITE_ROW) return "sqlite3_step() has another row ready";
    if (code == SQLITE_DONE) return "sqlite3_step() has finished executing";
    return "Unknown SQLite Error Code \"" + std::to_string(code) + "\"";
}

// ---- TSQLiteTable ----

bool TSQLiteTable::MoveNext() {
    if (AtEnd()) return false;
    ++current_;
    return true;
}

std::optional<int> TSQLiteTable::FindColumn(std::string_view name) const {
    const std::string wanted = asciiUpper(name);
    for (std::size_t i = 0; i < names_.size(); ++i)
        if (names_[i] == wanted) return static_cast<int>(i);
    return std::nullopt;
}

int TSQLiteTable::ColumnIndex(std::string_view name) const {
    if (names_.empty())
        throw ESQLiteException("Field " + std::string(name) + " Not found. Empty dataset");
    if (const auto i = FindColumn(name)) return *i;
    throw ESQLiteException("Field not found in dataset: " + std::string(name));
}

std::string TSQLiteTable::CellText(int column) const {
    if (AtEnd()) throw ESQLiteException("Table is at End of File");
    if (column < 0 || column >= ColumnCount())
        throw ESQLiteException("Field index out of range: " + std::to_string(column));
    const Cell& cell = cells_[static_cast<std::size_t>(current_) * names_.size() +
                              static_cast<std::size_t>(column)];
    if (const auto* i = std::get_if<std::int64_t>(&cell)) return std::to_string(*i);
    if (const auto* d = std::get_if<double>(&cell)) {
        char buf[40];
        const int n = std::snprintf(buf, sizeof buf, "%.15g", *d);
        return std::string(buf, static_cast<std::size_t>(n));
    }
    if (const auto* s = std::get_if<std::string>(&cell)) return *s;
    return {};
}

// ---- TSQLiteDatabase ----

namespace {

class Statement {
  public:
    Statement(sqlite3_stmt* s) : s_(s) {}
    ~Statement() { sqlite3_finalize(s_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    sqlite3_stmt* get() const { return s_; }

  private:
    sqlite3_stmt* s_;
};

TSQLiteTable::Kind kindOfDeclared(const char* declared) {
    using K = TSQLiteTable::Kind;
    if (!declared) return K::None;
    const std::string_view d(declared);
    if (d == "INTEGER" || d == "BOOLEAN") return K::Integer;
    if (d == "NUMERIC" || d == "FLOAT" || d == "DOUBLE" || d == "REAL") return K::Float;
    if (d == "BLOB") return K::Blob;
    return K::Text;
}

TSQLiteTable::Kind kindOfValue(int storage) {
    using K = TSQLiteTable::Kind;
    switch (storage) {
        case SQLITE_INTEGER: return K::Integer;
        case SQLITE_FLOAT: return K::Float;
        case SQLITE_BLOB: return K::Blob;
        default: return K::Text;
    }
}

TSQLiteTable::Cell readCell(sqlite3_stmt* s, int col, TSQLiteTable::Kind kind) {
    using K = TSQLiteTable::Kind;
    if (sqlite3_column_type(s, col) == SQLITE_NULL) return {};
    switch (kind) {
        case K::Integer: return static_cast<std::int64_t>(sqlite3_column_int64(s, col));
        case K::Float: return sqlite3_column_double(s, col);
        case K::Blob: {
            const int n = sqlite3_column_bytes(s, col);
            if (n == 0) return {};
            const auto* p = static_cast<const char*>(sqlite3_column_blob(s, col));
            return std::string(p, static_cast<std::size_t>(n));
        }
        default: {
            const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s, col));
            return p ? std::string(p) : std::string();  // up to the first zero byte
        }
    }
}

}  // namespace

struct TSQLiteDatabase::Source {
    DatabaseImage image;
    std::optional<DatabaseSource> source;
};

TSQLiteDatabase::TSQLiteDatabase(const std::string& utf8Path) {
    try {
        ImageLoad load = loadDatabaseImage(utf8Path);
        if (load.image && load.image->pageCount() > 0) {
            source_ = std::make_unique<Source>();
            source_->image = std::move(*load.image);
            source_->source.emplace(utf8Path, source_->image);
        } else {
            // Not a database SQLite could read either; it says so in its own words.
            file_ = MappedFile(utf8Path, MappedFile::Access::CopyOnWrite);
        }
    } catch (const FileError& e) {
        throw ESQLiteException("Failed to open database \"" + utf8Path + "\" : " + e.reason());
    }
    if (source_)
        openPages(utf8Path, source_->source->newest());
    else
        openCopy(utf8Path);
}

TSQLiteDatabase::TSQLiteDatabase(const std::string& utf8Path, const DatabasePages& pages) {
    openPages(utf8Path, pages);
}

void TSQLiteDatabase::openPages(const std::string& utf8Path, const DatabasePages& pages) {
    if (openPagesConnection(pages, &db_) != SQLITE_OK) {
        const std::string msg = db_ ? sqlite3_errmsg(db_) : "unknown error";
        sqlite3_close(db_);
        db_ = nullptr;
        throw ESQLiteException("Failed to open database \"" + utf8Path + "\" : " + msg);
    }
    // A damaged schema entry (an index on a collation only Android has, a table whose text was
    // lost) must not keep the other tables' texts from being read. The database is read-only.
    sqlite3_exec(db_, "PRAGMA writable_schema=ON", nullptr, nullptr, nullptr);
}

void TSQLiteDatabase::openCopy(const std::string& utf8Path) {
    auto bytes = file_.writableBytes();
    if (sqlite3_open_v2(":memory:", &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        if (!db_)
            throw ESQLiteException("Failed to open database \"" + utf8Path + "\" : unknown error");
        const std::string msg = sqlite3_errmsg(db_);
        sqlite3_close(db_);
        throw ESQLiteException("Failed to open database \"" + utf8Path + "\" : " + msg);
    }
    if (bytes.empty()) return;  // like SQLite, an empty file is an empty database
    const auto size = static_cast<sqlite3_int64>(bytes.size());
    const int rc =
        sqlite3_deserialize(db_, "main", bytes.data(), size, size, SQLITE_DESERIALIZE_READONLY);
    if (rc != SQLITE_OK) {
        const std::string msg = sqlite3_errmsg(db_);
        sqlite3_close(db_);
        throw ESQLiteException("Failed to open database \"" + utf8Path + "\" : " + msg);
    }
}

TSQLiteDatabase::~TSQLiteDatabase() {
    sqlite3_close(db_);
}

void TSQLiteDatabase::RaiseSqlError(const std::string& message) {
    const int code = sqlite3_errcode(db_);
    if (code != SQLITE_OK && sqlite3_errmsg(db_) != nullptr) {
        throw ESQLiteException(message + ".\rError[" + std::to_string(code) +
                               "]: " + ErrorCodeText(code) + ".\r ");
    }
    throw ESQLiteException(message);
}

std::unique_ptr<TSQLiteTable> TSQLiteDatabase::QueryTable(
    std::string_view sql, std::optional<std::string_view> parameter) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &raw, nullptr) !=
        SQLITE_OK) {
        sqlite3_finalize(raw);
        RaiseSqlError("Error executing SQL");
    }
    if (!raw) throw ESQLiteException("Could not prepare SQL statement");
    Statement stmt(raw);
    if (parameter &&
        sqlite3_bind_text(raw, 1, parameter->data(), static_cast<int>(parameter->size()),
                          SQLITE_TRANSIENT) != SQLITE_OK)
        RaiseSqlError("Could not bind SQL parameter");

    auto table = std::make_unique<TSQLiteTable>();
    for (;;) {
        const int rc = sqlite3_step(raw);
        if (rc == SQLITE_DONE) break;
        if (rc == SQLITE_BUSY) throw ESQLiteException("Could not prepare SQL statement");
        if (rc != SQLITE_ROW) {
            sqlite3_reset(raw);
            RaiseSqlError("Could not retrieve data");
        }
        if (table->rowCount_ == 0) {
            const int n = sqlite3_column_count(raw);
            for (int c = 0; c < n; ++c) {
                const char* name = sqlite3_column_name(raw, c);
                table->names_.push_back(asciiUpper(name ? name : ""));
                const auto declared = kindOfDeclared(sqlite3_column_decltype(raw, c));
                table->kinds_.push_back(declared != TSQLiteTable::Kind::None
                                            ? declared
                                            : kindOfValue(sqlite3_column_type(raw, c)));
            }
        }
        for (std::size_t c = 0; c < table->names_.size(); ++c)
            table->cells_.push_back(readCell(raw, static_cast<int>(c), table->kinds_[c]));
        ++table->rowCount_;
    }
    return table;
}

std::unique_ptr<TSQLiteTable> TSQLiteDatabase::queryTableSql(std::string_view name) {
    return QueryTable("select [sql] from sqlite_master where [type] = 'table' and lower(name) = ?",
                      asciiLower(name));
}

bool TSQLiteDatabase::HasTable(std::string_view name) {
    return queryTableSql(name)->RowCount() > 0;
}

std::vector<std::string> TSQLiteDatabase::TableColumns(std::string_view name) {
    std::vector<std::string> columns;
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db_, "select name from pragma_table_info(?)", -1, &raw, nullptr) !=
        SQLITE_OK) {
        sqlite3_finalize(raw);
        return columns;
    }
    Statement stmt(raw);
    sqlite3_bind_text(raw, 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
    while (sqlite3_step(raw) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(raw, 0));
        columns.emplace_back(text ? text : "");
    }
    return columns;
}

std::string TSQLiteDatabase::TableSql(std::string_view name) {
    auto table = queryTableSql(name);
    if (table->AtEnd()) return {};
    return table->CellText(table->ColumnIndex("sql"));
}

}  // namespace pc
