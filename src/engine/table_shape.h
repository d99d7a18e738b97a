// A table's columns as SQLite itself reads its CREATE TABLE text: names, declared types and their
// affinities, and which column, if any, is the row id.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "field_value.h"

namespace pc {

// SQLite's type affinity of a declared type (the five rules of its datatype document).
enum class Affinity : std::uint8_t { Integer, Text, Blob, Real, Numeric };

Affinity affinityOf(std::string_view declaredType);

struct ColumnShape {
    std::string name;
    std::string declared;
    Affinity affinity;
    bool notNull = false;  // declared NOT NULL: a record of the table never holds NULL there
};

struct TableShape {
    std::string name;
    std::string sql;
    std::vector<ColumnShape> columns;
    int rowidColumn = -1;  // the INTEGER PRIMARY KEY column, whose value is the row id
    bool dropped = false;  // its schema entry was found only among deleted records
    // WITHOUT ROWID: the column each value of a stored record belongs to (the key's columns
    // first); empty when records hold the columns in their declared order.
    std::vector<std::size_t> stored;
};

// The shape with its columns in the order records store them.
TableShape storedShape(const TableShape& shape);

// Puts a record's values, in stored order, into the declared order.
void toDeclaredOrder(const TableShape& shape, std::vector<FieldValue>& values);

// The shape of the table `createSql` creates, read by SQLite from the text alone (in a database
// of its own, in memory); nullopt when SQLite cannot read it or the table keeps no records of
// its own (a virtual table).
std::optional<TableShape> tableShape(std::string_view createSql);

// An FTS3/FTS4 content table's column "c0name" is the table's column "name"; docid and other
// names stay as they are.
std::string fullTextColumnName(const std::string& stored);

}  // namespace pc
