// What SQLite makes of a CREATE TABLE text: which column is the row id, each column's affinity.
#include <gtest/gtest.h>

#include "table_shape.h"

namespace pc {
namespace {

struct KeyCase {
    const char* sql;
    int rowidColumn;  // -1: none
};

class RowidColumn : public ::testing::TestWithParam<KeyCase> {};

TEST_P(RowidColumn, IsTheOneSqliteUsesAsTheKey) {
    const auto shape = tableShape(GetParam().sql);
    ASSERT_TRUE(shape);
    EXPECT_EQ(shape->rowidColumn, GetParam().rowidColumn);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, RowidColumn,
    ::testing::Values(KeyCase{"CREATE TABLE t(id INTEGER PRIMARY KEY, a)", 0},
                      KeyCase{"CREATE TABLE t(a TEXT, id integer primary key asc)", 1},
                      KeyCase{"CREATE TABLE t(a INTEGER, b, PRIMARY KEY(a))", 0},
                      // Not aliases: an index of their own keeps the key.
                      KeyCase{"CREATE TABLE t(id INTEGER PRIMARY KEY DESC, a)", -1},
                      KeyCase{"CREATE TABLE t(id INT PRIMARY KEY, a)", -1},
                      KeyCase{"CREATE TABLE t(a INTEGER, b, PRIMARY KEY(a, b))", -1},
                      KeyCase{"CREATE TABLE t(a, b)", -1}));

TEST(TableShapeOf, FollowsSqlitesAffinityAndStorageRules) {
    const auto shape =
        tableShape("CREATE TABLE t(a VARCHAR(10), b FLOATING POINT, c DOUBLE, d BLOB, e, f DATE)");
    ASSERT_TRUE(shape);
    std::vector<Affinity> affinities;
    for (const ColumnShape& c : shape->columns)
        affinities.push_back(c.affinity);
    // "FLOATING POINT" holds "INT": integer, as SQLite reads it.
    EXPECT_EQ(affinities, (std::vector{Affinity::Text, Affinity::Integer, Affinity::Real,
                                       Affinity::Blob, Affinity::Blob, Affinity::Numeric}));
    // Records of a WITHOUT ROWID table hold the key's columns first.
    const auto clustered = tableShape("CREATE TABLE t(a, b, c, PRIMARY KEY(c, a)) WITHOUT ROWID");
    ASSERT_TRUE(clustered);
    EXPECT_EQ(clustered->stored, (std::vector<std::size_t>{2, 0, 1}));
    EXPECT_EQ(clustered->rowidColumn, -1);
    EXPECT_FALSE(tableShape("CREATE VIRTUAL TABLE t USING fts4(a)"));
    EXPECT_FALSE(tableShape("not sql at all"));
}

}  // namespace
}  // namespace pc
