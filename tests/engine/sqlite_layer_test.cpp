#include <gtest/gtest.h>

#include <filesystem>

#include "SQLiteTable3.h"
#include "android_db.h"
#include "sms_fixture.h"
#include "temp_dir.h"

namespace pc {
namespace {

using testing::TempDir;
namespace fx = fixtures;

class SqliteLayer : public ::testing::Test {
  protected:
    void SetUp() override {
        fx::SqliteDb db(path());
        db.exec(
            "CREATE TABLE sms (_id INTEGER PRIMARY KEY, address TEXT, n integer, f REAL);"
            "INSERT INTO sms VALUES (1, 'ab', 42, 2.5), (2, NULL, -7, 0.1);"
            "CREATE TABLE mimetypes (_id INTEGER PRIMARY KEY, mimetype TEXT);");
    }
    std::string path() const { return dir_.file("t.db"); }
    TempDir dir_;
};

TEST_F(SqliteLayer, FindsTablesWithoutRegardToCase) {
    TSQLiteDatabase db(path());
    EXPECT_TRUE(db.HasTable("SMS"));
    EXPECT_TRUE(db.HasTable("sms"));
    EXPECT_FALSE(db.HasTable("calls"));
    EXPECT_EQ(db.TableSql("Sms"),
              "CREATE TABLE sms (_id INTEGER PRIMARY KEY, address TEXT, n integer, f REAL)");
    EXPECT_EQ(db.TableSql("calls"), "");
    // The name is a bound value, never SQL.
    EXPECT_FALSE(db.HasTable("x' or '1'='1"));
}

TEST_F(SqliteLayer, BuffersAResultAndGivesCellsAsText) {
    TSQLiteDatabase db(path());
    auto t = db.QueryTable("select * from sms order by _id");
    EXPECT_EQ(t->RowCount(), 2);
    EXPECT_EQ(t->ColumnIndex("ADDRESS"), 1);
    EXPECT_EQ(t->CellText(t->ColumnIndex("address")), "ab");
    EXPECT_EQ(t->CellText(2), "42");  // lower-case "integer" is text kind, digits all the same
    EXPECT_EQ(t->CellText(3), "2.5");
    ASSERT_TRUE(t->MoveNext());
    EXPECT_EQ(t->CellText(1), "");  // NULL
    EXPECT_EQ(t->CellText(2), "-7");
    EXPECT_EQ(t->CellText(3), "0.1");
    ASSERT_TRUE(t->MoveNext());
    EXPECT_TRUE(t->AtEnd());
    EXPECT_FALSE(t->MoveNext());
    try {
        t->CellText(0);
        FAIL();
    } catch (const ESQLiteException& e) {
        EXPECT_STREQ(e.what(), "Table is at End of File");
    }
}

TEST_F(SqliteLayer, NamesMissingColumnsInItsErrors) {
    TSQLiteDatabase db(path());
    auto empty = db.QueryTable("select * from mimetypes");
    try {
        empty->ColumnIndex("mimetype");
        FAIL();
    } catch (const ESQLiteException& e) {
        EXPECT_STREQ(e.what(), "Field mimetype Not found. Empty dataset");
    }
    auto t = db.QueryTable("select * from sms");
    EXPECT_EQ(t->FindColumn("nope"), std::nullopt);
    EXPECT_THROW(t->ColumnIndex("nope"), ESQLiteException);
}

TEST_F(SqliteLayer, BuildsErrorTextsFromTheResultCode) {
    TSQLiteDatabase db(path());
    try {
        db.QueryTable("select * from nowhere");
        FAIL();
    } catch (const ESQLiteException& e) {
        EXPECT_STREQ(e.what(), "Error executing SQL.\rError[1]: SQL error or missing database.\r ");
    }
    EXPECT_EQ(ErrorCodeText(26), "File opened that is not a database file");
    EXPECT_EQ(ErrorCodeText(101), "sqlite3_step() has finished executing");
    EXPECT_EQ(ErrorCodeText(27), "Unknown SQLite Error Code \"27\"");
}

TEST_F(SqliteLayer, RefusesFilesThatAreNotDatabases) {
    testing::writeBytes(dir_.file("text.db"), std::vector<std::uint8_t>(2048, 'x'));
    TSQLiteDatabase db(dir_.file("text.db"));
    try {
        db.HasTable("sms");
        FAIL();
    } catch (const ESQLiteException& e) {
        EXPECT_STREQ(
            e.what(),
            "Error executing SQL.\rError[26]: File opened that is not a database file.\r ");
    }
    try {
        TSQLiteDatabase missing(dir_.file("missing.db"));
        FAIL();
    } catch (const ESQLiteException& e) {
        EXPECT_EQ(std::string(e.what()), "Failed to open database \"" + dir_.file("missing.db") +
                                             "\" : No such file or directory");
    }
    EXPECT_FALSE(std::filesystem::exists(dir_.file("missing.db")));
}

// A read-write open would roll back a hot journal or checkpoint a -wal file into the database,
// overwriting the very bytes a recovery is after.
TEST(SqliteLayerSafety, LeavesWalAndHotJournalFilesAsTheyWere) {
    TempDir dir;
    fx::SmsDbOptions wal;
    wal.messages = 60;
    wal.shape.wal = true;
    wal.shape.keepWalFrames = true;
    fx::buildSmsDatabase(dir.file("wal.db"), wal);
    fx::SmsDbOptions plain;
    plain.messages = 300;
    fx::buildSmsDatabase(dir.file("plain.db"), plain);
    fx::copyWithHotJournal(dir.file("plain.db"), dir.file("hot.db"), "sms");

    for (const std::string name : {"wal.db", "hot.db"}) {
        std::map<std::string, std::vector<std::uint8_t>> before;
        for (const auto& e : std::filesystem::directory_iterator(dir.path()))
            before[e.path().filename().string()] = testing::readBytes(e.path().string());
        ASSERT_TRUE(before.count(name == "wal.db" ? "wal.db-wal" : "hot.db-journal"));
        {
            TSQLiteDatabase db(dir.file(name));
            db.HasTable("sms");
            db.TableSql("sms");
        }
        std::map<std::string, std::vector<std::uint8_t>> after;
        for (const auto& e : std::filesystem::directory_iterator(dir.path()))
            after[e.path().filename().string()] = testing::readBytes(e.path().string());
        EXPECT_EQ(before, after) << name;
    }
}

}  // namespace
}  // namespace pc
