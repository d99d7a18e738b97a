// A table's columns as SQLite itself reads its CREATE TABLE text: names, declared types and their
// affinities, and which column, if any, is the row id.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pc {

// SQLite's type affinity of a declared type (the five rules of its datatype document).
enum class Affinity : std::uint8_t { Integer, Text, Blob, Real, Numeric };

Affinity affinityOf(std::string_view declaredType);

struct ColumnShape {
    std::string name;
    std::string declared;
    Affinity affinity;
};

struct TableShape {
    std::string name;
    std::string sql;
    std::vector<ColumnShape> columns;
    int rowidColumn = -1;  // the INTEGER PRIMARY KEY column, whose value is the row id
    bool dropped = false;  // its schema entry was found only among deleted records
};

// The shape of the table `createSql` creates, read by SQLite from the text alone (in a database
// of its own, in memory); nullopt when SQLite cannot read it or the table is not an ordinary
// table with row ids (a virtual table, WITHOUT ROWID).
std::optional<TableShape> tableShape(std::string_view createSql);

}  // namespace pc
