// Any table of any database: live rows exactly, deleted rows from freeblocks (their first bytes
// overwritten), from pages of dropped tables, each record given to one table only.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "android_db.h"
#include "sqlite_db.h"
#include "table_recovery.h"
#include "temp_dir.h"

namespace pc {
namespace {

using fixtures::SqliteDb;

// A row as "table:state:value|value|...", rowid left out, to compare against expectations.
std::vector<std::string> rowsOf(const Recovery& r, std::optional<RecordState> only = {}) {
    std::vector<std::string> out;
    for (const RecoveredRow& row : r.rows) {
        if (only && row.state != *only) continue;
        std::string s = r.tables[row.table].name + ":";
        for (std::size_t i = 0; i < row.values.size(); ++i) {
            if (i) s += '|';
            const FieldValue& v = row.values[i];
            if (const auto* n = std::get_if<std::int64_t>(&v)) s += std::to_string(*n);
            if (const auto* d = std::get_if<double>(&v)) s += std::to_string(*d);
            if (const auto* t = std::get_if<std::string>(&v)) s += *t;
            if (std::holds_alternative<Blob>(v)) s += "<blob>";
            if (std::holds_alternative<std::monostate>(v)) s += "NULL";
        }
        out.push_back(s);
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<std::string> sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

class TableRecovery : public ::testing::TestWithParam<std::string> {
  protected:
    testing::TempDir dir;
    std::string path = dir.file("t.db");
};

// Deleted rows whose cells became freeblocks, single and merged with their neighbours, come back
// whole; live rows are read exactly, an INTEGER PRIMARY KEY showing the row id.
TEST_P(TableRecovery, FindsLiveAndDeletedRowsOfEveryTable) {
    {
        SqliteDb db(path);
        db.exec("PRAGMA encoding='" + GetParam() + "'; PRAGMA secure_delete=0;");
        db.exec(
            "CREATE TABLE people(id INTEGER PRIMARY KEY, name TEXT, age INT, score REAL);"
            "CREATE TABLE notes(body TEXT, n INT);");
        for (int i = 1; i <= 12; ++i)
            db.query("INSERT INTO people VALUES(?, ?, ?, ?)",
                     {std::int64_t{i}, "person " + std::to_string(i) + " Öß😊", std::int64_t{20 + i},
                      std::string(std::to_string(i) + ".5")});
        for (int i = 1; i <= 6; ++i)
            db.query("INSERT INTO notes VALUES(?, ?)",
                     {"note number " + std::to_string(i), std::int64_t{1000 * i}});
        // 4 and 5 lie side by side: their freeblocks merge. 12 was written last, at the start of
        // the content area: freeing it moves that start and leaves no freeblock.
        db.exec("DELETE FROM people WHERE id IN (4, 5, 9, 12); DELETE FROM notes WHERE n = 3000;");
    }
    const Recovery r = recoverTables(path);
    ASSERT_EQ(r.tables.size(), 2u);
    EXPECT_EQ(
        rowsOf(r, RecordState::Deleted),
        sorted({"notes:note number 3|3000", "people:NULL|person 4 Öß😊|24|4.500000",
                "people:NULL|person 5 Öß😊|25|5.500000", "people:NULL|person 9 Öß😊|29|9.500000",
                "people:NULL|person 12 Öß😊|32|12.500000"}));
    std::vector<std::string> live;
    for (const RecoveredRow& row : r.rows)
        if (row.state == RecordState::Normal && r.tables[row.table].name == "people") {
            ASSERT_TRUE(row.rowid);
            EXPECT_EQ(std::get<std::int64_t>(row.values[0]), *row.rowid);  // the key is the row id
            live.push_back(std::to_string(*row.rowid));
        }
    EXPECT_EQ(live.size(), 8u);
    EXPECT_EQ(rowsOf(r, RecordState::Normal).size(), 8u + 5u);
}

INSTANTIATE_TEST_SUITE_P(Encodings, TableRecovery,
                         ::testing::Values("UTF-8", "UTF-16le", "UTF-16be"));

// Two dropped tables of the same shape: each row under the table whose pages it lies on.
TEST(TableRecoveryDropped, RowsOfDroppedTablesGoToTheTableThatOwnedTheirPage) {
    testing::TempDir dir;
    const std::string path = dir.file("t.db");
    {
        SqliteDb db(path);
        db.exec(
            "PRAGMA secure_delete=0;"
            "CREATE TABLE keep(x TEXT);"
            "CREATE TABLE a(name TEXT, n INT);"
            "CREATE TABLE b(name TEXT, n INT);"
            "INSERT INTO keep VALUES('still here');"
            "INSERT INTO a VALUES('first of a', 1), ('second of a', 2);"
            "INSERT INTO b VALUES('first of b', 3), ('second of b', 4);"
            "DROP TABLE a; DROP TABLE b;");
    }
    const Recovery r = recoverTables(path);
    EXPECT_EQ(rowsOf(r), sorted({"a:first of a|1", "a:second of a|2", "b:first of b|3",
                                 "b:second of b|4", "keep:still here"}));
    for (const RecoveredRow& row : r.rows)
        EXPECT_EQ(r.tables[row.table].dropped, r.tables[row.table].name != "keep");
}

// A stale copy of a live row is not a deleted row; with allCopies it is listed.
TEST(TableRecoveryCopies, AStaleCopyOfALiveRowIsListedOnlyWhenAskedFor) {
    testing::TempDir dir;
    const std::string path = dir.file("t.db");
    {
        SqliteDb db(path);
        db.exec(
            "PRAGMA secure_delete=0; CREATE TABLE t(a TEXT, b INT);"
            "INSERT INTO t VALUES('same text', 7);"
            "INSERT INTO t VALUES('same text', 7);"
            "DELETE FROM t WHERE rowid = 1;");
    }
    EXPECT_EQ(rowsOf(recoverTables(path)), std::vector<std::string>{"t:same text|7"});
    RecoveryOptions all;
    all.allCopies = true;
    EXPECT_EQ(rowsOf(recoverTables(path, all)).size(), 2u);
}

TEST(TableRecoveryErrors, AFileThatIsNoDatabaseSaysSo) {
    testing::TempDir dir;
    testing::writeBytes(dir.file("x.db"), std::vector<std::uint8_t>(5000, 'x'));
    EXPECT_THROW(recoverTables(dir.file("x.db")), NotADatabase);
}

// A WITHOUT ROWID table keeps its rows in an index b-tree, the key's columns first, in interior
// cells as well as leaves; an INTEGER PRIMARY KEY DESC column is an ordinary column.
TEST(TableRecoveryKeys, RowsOfWithoutRowidTablesComeInTheirDeclaredOrder) {
    testing::TempDir dir;
    const std::string path = dir.file("t.db");
    {
        SqliteDb db(path);
        db.exec(
            "PRAGMA page_size=512;"
            "CREATE TABLE w(a INT, b TEXT, c REAL, PRIMARY KEY(b, a)) WITHOUT ROWID;"
            "CREATE TABLE d(id INTEGER PRIMARY KEY DESC, x TEXT);"
            "INSERT INTO d VALUES(20001, 'one');");
        for (int i = 0; i < 200; ++i)  // enough for interior pages
            db.query("INSERT INTO w VALUES(?, ?, 1.5)",
                     {std::int64_t{i}, "key " + std::to_string(1000 + i)});
    }
    const Recovery r = recoverTables(path);
    std::vector<std::string> rows = rowsOf(r, RecordState::Normal);
    ASSERT_EQ(rows.size(), 201u);
    EXPECT_EQ(rows.front(), "d:20001|one");
    for (const char* row : {"w:0|key 1000|1.500000", "w:199|key 1199|1.500000"})
        EXPECT_TRUE(std::binary_search(rows.begin(), rows.end(), row)) << row;
    for (const RecoveredRow& row : r.rows) {
        if (r.tables[row.table].name == "w") {
            EXPECT_FALSE(row.rowid);
        }
    }
}

// An FTS4 table's rows are kept in its content table: listed once, under the table's name.
TEST(TableRecoveryKeys, FullTextTablesShowTheirRowsUnderTheirOwnName) {
    testing::TempDir dir;
    const std::string path = dir.file("t.db");
    {
        SqliteDb db(path);
        db.exec(
            "CREATE VIRTUAL TABLE notes\n USING fts4(title, body);"
            "INSERT INTO notes VALUES('first', 'some words'), ('second', 'more words');");
    }
    const Recovery r = recoverTables(path);
    std::vector<std::string> rows = rowsOf(r, RecordState::Normal);
    rows.erase(std::remove_if(rows.begin(), rows.end(),
                              [](const std::string& s) { return !s.starts_with("notes:"); }),
               rows.end());
    EXPECT_EQ(rows, sorted({"notes:1|first|some words", "notes:2|second|more words"}));
    for (const TableShape& t : r.tables) {
        if (t.name == "notes") {
            EXPECT_EQ(t.columns[1].name, "title");
        }
    }
}

// Hears a carve: its progress, its tables and rows; sets the stop flag at page `stopAt`.
struct Listener : CarveEvents {
    void noted(const SourceNote& n) override { notes.push_back(n); }
    void progressRange(std::uint32_t maximum, std::uint32_t) override { total = maximum; }
    void pageReached(std::uint32_t index) override {
        seen.push_back(index);
        if (index >= stopAt) halted = 1;
    }
    void idle() override {}
    void tableFound(std::size_t index, const TableShape& table) override {
        EXPECT_EQ(index, tables.size());
        tables.push_back(table.name);
    }
    void rowFound(const RecoveredRowView& row) override {
        ASSERT_LT(row.table, tables.size());  // announced before its rows
        ++rows;
    }
    std::vector<SourceNote> notes;
    std::vector<std::string> tables;
    std::vector<std::uint32_t> seen;
    std::uint32_t total = 0, stopAt = ~0u;
    std::uint8_t halted = 0;
    std::size_t rows = 0;
};

// Progress goes forward and ends at its total; a stop ends the carve before the next page, with
// the rows found so far told.
TEST(TableRecoveryProgress, GoesForwardToTheEndAndStopsWhenAsked) {
    testing::TempDir dir;
    const std::string path = dir.file("t.db");
    {
        SqliteDb db(path);
        db.exec("PRAGMA page_size=512; CREATE TABLE t(a TEXT); BEGIN;");
        for (int i = 0; i < 2000; ++i)
            db.query("INSERT INTO t VALUES(?)",
                     {"row " + std::to_string(i) + std::string(100, '.')});
        db.exec("COMMIT;");
    }
    Listener all;
    EXPECT_FALSE(carveTables(path, all, {}, all.halted).stopped);
    EXPECT_EQ(all.rows, 2000u);
    ASSERT_GE(all.seen.size(), 2u);
    EXPECT_EQ(all.seen.back(), all.total);
    EXPECT_TRUE(std::is_sorted(all.seen.begin(), all.seen.end()));

    Listener stopped;
    stopped.stopAt = all.total / 4;  // within the walk of the live rows
    EXPECT_TRUE(carveTables(path, stopped, {}, stopped.halted).stopped);
    EXPECT_LT(stopped.rows, 2000u);
    EXPECT_LE(stopped.seen.back(), stopped.stopAt + 1);
}

// A modern phone's file: write-ahead log never checkpointed, secure_delete on. The live rows
// exist only in the log, and the deleted one only in an older frame of its page.
TEST(TableRecoverySideFiles, LiveRowsFromTheLogAndADeletedOneFromAnOlderFrame) {
    testing::TempDir dir;
    const std::string path = dir.file("t.db");
    {
        SqliteDb db(path);
        db.exec("PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0; PRAGMA secure_delete=1;");
        sqlite3_db_config(db.handle(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        db.exec(
            "CREATE TABLE notes(body TEXT, n INT);"
            "INSERT INTO notes VALUES('first note', 1), ('second note', 2), ('third note', 3);");
        db.exec("DELETE FROM notes WHERE n = 2;");
    }
    ASSERT_TRUE(std::filesystem::exists(path + "-wal"));
    const Recovery r = recoverTables(path);
    EXPECT_EQ(rowsOf(r, RecordState::Normal), sorted({"notes:first note|1", "notes:third note|3"}));
    EXPECT_EQ(rowsOf(r, RecordState::Deleted), sorted({"notes:second note|2"}));
    for (const RecoveredRow& row : r.rows)
        EXPECT_EQ(row.source, SourceFile::Wal);
}

// 400 notes, and a copy of them at "hot.db" beside a hot journal: an update of every row was
// interrupted after some of its pages were written. Returns the copy's path.
std::string hotNotes(const testing::TempDir& dir) {
    const std::string plain = dir.file("plain.db"), hot = dir.file("hot.db");
    {
        SqliteDb db(plain);
        db.exec(
            "PRAGMA page_size=1024; CREATE TABLE notes(_id INTEGER PRIMARY KEY, body TEXT);"
            "BEGIN;");
        for (int i = 1; i <= 400; ++i)
            db.query("INSERT INTO notes VALUES(?, ?)",
                     {std::int64_t{i}, "note " + std::to_string(i)});
        db.exec("COMMIT;");
    }
    fixtures::copyWithHotJournal(plain, hot, "notes");
    return hot;
}

// A hot rollback journal: the newest state is the one before the interrupted transaction, its
// pages put back from the journal; the transaction's half-written pages are older images.
TEST(TableRecoverySideFiles, AHotJournalsPagesGiveTheLiveRows) {
    testing::TempDir dir;
    const std::string hot = hotNotes(dir);
    const Recovery r = recoverTables(hot);
    std::set<std::int64_t> live;
    bool fromJournal = false;
    for (const RecoveredRow& row : r.rows)
        if (row.state == RecordState::Normal) {
            live.insert(*row.rowid);
            fromJournal |= row.source == SourceFile::Journal;
        }
    EXPECT_EQ(live.size(), 400u);
    EXPECT_EQ(*live.rbegin(), 400);
    EXPECT_TRUE(fromJournal);
}

// A table all of whose rows were deleted (or all but one): its former leaves lie on the free
// list, or in older frames of the log, with no live row to show what its records look like. Every
// row whose bytes remain comes back whole, once, and nothing of any other shape is taken for one.
struct Emptied {
    int pageSize;
    bool keepOne;
    bool log;
};

class EmptiedTable : public ::testing::TestWithParam<Emptied> {};

std::string messageBody(int i) {
    std::string body = "message " + std::to_string(i);
    for (int k = 0; k < i % 7; ++k)
        body += " lorem ipsum";
    return body;
}

TEST_P(EmptiedTable, GivesBackEveryRowWhoseBytesRemain) {
    const Emptied e = GetParam();
    testing::TempDir dir;
    const std::string path = dir.file("t.db");
    {
        SqliteDb db(path);
        db.exec("PRAGMA page_size=" + std::to_string(e.pageSize) + "; PRAGMA secure_delete=0;");
        if (e.log) {
            db.exec("PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;");
            sqlite3_db_config(db.handle(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        }
        db.exec(
            "CREATE TABLE other(k TEXT, n INT, v BLOB);"
            "CREATE TABLE msgs(_id INTEGER PRIMARY KEY, address TEXT, date INTEGER NOT NULL,"
            " body TEXT, read INTEGER DEFAULT 0);"
            "INSERT INTO other VALUES('kept', 1, x'00ff'); BEGIN;");
        for (int i = 1; i <= 3000; ++i)
            db.query("INSERT INTO msgs(address, date, body, read) VALUES(?, ?, ?, ?)",
                     {"+86138" + std::to_string(10000000 + i),
                      std::int64_t{1600000000000} + i * 1000, messageBody(i), std::int64_t{i % 2}});
        db.exec("COMMIT;");
        db.exec(e.keepOne ? "DELETE FROM msgs WHERE _id != 1500" : "DELETE FROM msgs");
    }
    const Recovery r = recoverTables(path);
    std::set<std::int64_t> back;
    for (const RecoveredRow& row : r.rows) {
        const std::string& table = r.tables[row.table].name;
        if (table == "other") {
            EXPECT_EQ(row.state, RecordState::Normal);  // no chance fit taken for one of its rows
            continue;
        }
        ASSERT_EQ(table, "msgs");
        if (row.state == RecordState::Normal) continue;
        const auto& body = std::get<std::string>(row.values[3]);
        const int i = std::stoi(body.substr(8));
        EXPECT_EQ(body, messageBody(i));
        EXPECT_EQ(std::get<std::string>(row.values[1]), "+86138" + std::to_string(10000000 + i));
        EXPECT_EQ(std::get<std::int64_t>(row.values[2]), std::int64_t{1600000000000} + i * 1000);
        EXPECT_EQ(std::get<std::int64_t>(row.values[4]), i % 2);
        EXPECT_TRUE(back.insert(i).second) << "listed twice: " << i;
    }
    // A few cells at the start of each freed page are overwritten by the free list's own words.
    EXPECT_GE(back.size(), 2970u);
}

INSTANTIATE_TEST_SUITE_P(PageSizes, EmptiedTable,
                         ::testing::Values(Emptied{1024, false, false}, Emptied{1024, true, false},
                                           Emptied{4096, false, false}, Emptied{4096, true, true},
                                           Emptied{65536, false, true},
                                           Emptied{65536, true, false}),
                         [](const auto& info) {
                             return std::to_string(info.param.pageSize) +
                                    (info.param.keepOne ? "_AllButOne" : "_All") +
                                    (info.param.log ? "_Log" : "_File");
                         });

// A hot journal whose header gives the database one page before the transaction: rolled back as
// SQLite rolls it back, the file is cut to that page and the table's rows lie past it. Nothing of
// them is lost: the journal's records and the main file's pages give them back as deleted rows.
TEST(TableRecoverySideFiles, AHotJournalWithASmallInitialSizeLosesNoRow) {
    testing::TempDir dir;
    const std::string hot = hotNotes(dir);
    auto journal = testing::readBytes(hot + "-journal");
    journal[16] = journal[17] = journal[18] = 0;
    journal[19] = 1;  // the initial size: one page
    testing::writeBytes(hot + "-journal", journal);

    // SQLite's own rollback, on a copy: a file of one page.
    const std::string rolled = dir.file("rolled.db");
    std::filesystem::copy_file(hot, rolled);
    std::filesystem::copy_file(hot + "-journal", rolled + "-journal");
    {
        SqliteDb db(rolled);
        EXPECT_ANY_THROW(db.query("SELECT count(*) FROM notes"));
    }
    EXPECT_EQ(std::filesystem::file_size(rolled), 1024u);

    const Recovery r = recoverTables(hot);
    std::set<std::int64_t> before;
    for (const RecoveredRow& row : r.rows) {
        EXPECT_EQ(row.state, RecordState::Deleted);
        if (row.rowid && *row.rowid <= 400) {
            EXPECT_EQ(std::get<std::string>(row.values[1]), "note " + std::to_string(*row.rowid));
            before.insert(*row.rowid);
        }
    }
    EXPECT_EQ(before.size(), 400u);
}

// A file whose pages no longer line up with what its header says (a byte inserted after the
// header, or one taken out): no structure reads any more, and every page is searched for every
// table's records, which may run on past where the header says a page ends. The rows that were
// live come back, each with all its values.
class ShiftedFile : public ::testing::TestWithParam<int> {};

TEST_P(ShiftedFile, GivesBackTheRowsOfPagesThatNoLongerLineUp) {
    testing::TempDir dir;
    const std::string path = dir.file("t.db"), shifted = dir.file("shifted.db");
    {
        SqliteDb db(path);
        db.exec(
            "PRAGMA page_size=4096;"
            "CREATE TABLE msgs(_id INTEGER PRIMARY KEY, address TEXT, date INTEGER, body TEXT);"
            "CREATE TABLE names(_id INTEGER PRIMARY KEY, name TEXT); BEGIN;");
        for (int i = 1; i <= 3000; ++i)
            db.query("INSERT INTO msgs(address, date, body) VALUES(?, ?, ?)",
                     {"+86138" + std::to_string(10000000 + i),
                      std::int64_t{1600000000000} + i * 1000, messageBody(i) + " 你好"});
        for (int i = 1; i <= 300; ++i)
            db.query("INSERT INTO names(name) VALUES(?)", {"name " + std::to_string(i)});
        db.exec("COMMIT;");
    }
    auto bytes = testing::readBytes(path);
    if (GetParam() > 0)
        bytes.insert(bytes.begin() + 100, 0);
    else
        bytes.erase(bytes.begin() + 100);
    testing::writeBytes(shifted, bytes);

    std::set<std::string> live, back;
    auto valuesOf = [](const Recovery& r, const RecoveredRow& row) {
        std::string s = r.tables[row.table].name;
        for (std::size_t c = 1; c < row.values.size(); ++c) {  // the row id may be gone
            const FieldValue& v = row.values[c];
            if (const auto* n = std::get_if<std::int64_t>(&v)) s += "|" + std::to_string(*n);
            if (const auto* t = std::get_if<std::string>(&v)) s += "|" + *t;
        }
        return s;
    };
    const Recovery intact = recoverTables(path);
    for (const RecoveredRow& row : intact.rows)
        if (row.state == RecordState::Normal) live.insert(valuesOf(intact, row));
    const Recovery r = recoverTables(shifted);
    for (const RecoveredRow& row : r.rows)
        back.insert(valuesOf(r, row));
    ASSERT_EQ(live.size(), 3300u);
    std::size_t found = 0;
    for (const std::string& row : live)
        found += back.count(row);
    EXPECT_GE(found, 3300u * 99 / 100) << found;
}

INSTANTIATE_TEST_SUITE_P(ByteInsertedOrRemoved, ShiftedFile, ::testing::Values(1, -1));

}  // namespace
}  // namespace pc
