// A thin layer over SQLite: open a database, ask for a table, read its CREATE TABLE text, run one
// SELECT whose result is buffered whole. Every failure is an ESQLiteException; nothing is caught
// here. A database is never opened by SQLite itself: the layer reads its newest state through the
// page layer (the main file with a log's committed frames or a hot journal's pages in their
// places, the write-ahead-log markers read as 1), so no journal is rolled back, no log is
// checkpointed into the file and nothing is created beside it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "database_pages.h"
#include "mapped_file.h"

struct sqlite3;

namespace pc {

class ESQLiteException : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The text of an SQLite result code.
std::string ErrorCodeText(int code);

class TSQLiteTable {
  public:
    enum class Kind : std::uint8_t { None = 0, Integer = 1, Float = 2, Text = 3, Blob = 4 };
    using Cell = std::variant<std::monostate, std::int64_t, double, std::string>;

    int RowCount() const { return rowCount_; }
    int ColumnCount() const { return static_cast<int>(names_.size()); }
    bool AtEnd() const { return current_ >= rowCount_; }
    bool MoveNext();
    // 0-based index of a column, its name compared without regard to case.
    int ColumnIndex(std::string_view name) const;
    // The same, or nullopt when the result has no such column (or no row).
    std::optional<int> FindColumn(std::string_view name) const;
    // The current row's cell as text: "" for NULL, decimal integers, up to 15 significant digits.
    std::string CellText(int column) const;

  private:
    friend class TSQLiteDatabase;
    int rowCount_ = 0;
    int current_ = 0;
    std::vector<std::string> names_;  // upper case
    std::vector<Kind> kinds_;
    std::vector<Cell> cells_;  // row-major
};

class TSQLiteDatabase {
  public:
    // Opens the database file at `utf8Path` with the files beside it; throws ESQLiteException
    // when it cannot be read.
    explicit TSQLiteDatabase(const std::string& utf8Path);
    // Opens `pages`, the newest state of the database at `utf8Path` (which only names it in
    // messages); `pages` must outlive this.
    TSQLiteDatabase(const std::string& utf8Path, const DatabasePages& pages);
    ~TSQLiteDatabase();
    TSQLiteDatabase(const TSQLiteDatabase&) = delete;
    TSQLiteDatabase& operator=(const TSQLiteDatabase&) = delete;

    // Runs one SELECT; `parameter`, when given, is bound to its single "?".
    std::unique_ptr<TSQLiteTable> QueryTable(std::string_view sql,
                                             std::optional<std::string_view> parameter = {});
    bool HasTable(std::string_view name);
    // The CREATE TABLE text of a table, or "" when there is none.
    std::string TableSql(std::string_view name);
    // The names of a table's columns in their order, as SQLite reads its definition; empty when
    // SQLite cannot read it.
    std::vector<std::string> TableColumns(std::string_view name);

  private:
    struct Source;
    void openPages(const std::string& utf8Path, const DatabasePages& pages);
    void openCopy(const std::string& utf8Path);
    [[noreturn]] void RaiseSqlError(const std::string& message);
    std::unique_ptr<TSQLiteTable> queryTableSql(std::string_view name);

    std::unique_ptr<Source> source_;  // what the path constructor opened itself
    MappedFile file_;                 // a file that is no database, as SQLite would see it
    sqlite3* db_ = nullptr;
};

}  // namespace pc
