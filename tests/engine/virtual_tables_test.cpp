// FTS4, FTS5 and R*Tree tables listed under their own names as SQLite shows them, live and
// deleted where their bytes remain; their shadow tables only when asked.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <set>
#include <string>

#include "sqlite_db.h"
#include "table_recovery.h"
#include "temp_dir.h"

namespace pc {
namespace {

using fixtures::SqliteDb;

std::string text(const FieldValue& v) {
    if (const auto* n = std::get_if<std::int64_t>(&v)) return std::to_string(*n);
    if (const auto* d = std::get_if<double>(&v)) return std::to_string(*d);
    if (const auto* t = std::get_if<std::string>(&v)) return *t;
    return "NULL";
}

// The table's rows in one state as "v|v|..." (the id or rowid first where it is a column; left
// out with `withoutId`: a deleted cell's row id is lost with its first bytes).
std::multiset<std::string> rows(const Recovery& r, const std::string& table, RecordState state,
                                bool withoutId = false) {
    std::multiset<std::string> out;
    for (const RecoveredRow& row : r.rows) {
        if (r.tables[row.table].name != table || row.state != state) continue;
        std::string s;
        for (std::size_t i = withoutId ? 1 : 0; i < row.values.size(); ++i)
            s += (s.empty() ? "" : "|") + text(row.values[i]);
        out.insert(s);
    }
    return out;
}

std::multiset<std::string> withoutIds(const std::multiset<std::string>& rows) {
    std::multiset<std::string> out;
    for (const std::string& r : rows)
        out.insert(r.substr(r.find('|') + 1));
    return out;
}

std::multiset<std::string> sqliteRows(SqliteDb& db, const std::string& select) {
    std::multiset<std::string> out;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db.handle(), select.c_str(), -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) {
        std::string s;
        for (int c = 0; c < sqlite3_column_count(st); ++c) {
            const int type = sqlite3_column_type(st, c);
            const std::string v =
                type == SQLITE_INTEGER ? std::to_string(sqlite3_column_int64(st, c))
                : type == SQLITE_FLOAT ? std::to_string(sqlite3_column_double(st, c))
                : type == SQLITE_NULL
                    ? "NULL"
                    : std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, c)));
            s += (c ? "|" : "") + v;
        }
        out.insert(s);
    }
    sqlite3_finalize(st);
    return out;
}

TEST(VirtualTables, AreListedUnderTheirOwnNamesLiveAndDeleted) {
    testing::TempDir dir;
    const std::string path = dir.file("v.db");
    std::multiset<std::string> notes, mail, boxes, goneNotes, goneMail, goneBoxes;
    {
        SqliteDb db(path);
        db.exec("PRAGMA secure_delete=0");
        db.query("PRAGMA journal_mode=WAL");
        db.exec("PRAGMA wal_autocheckpoint=0");
        sqlite3_db_config(db.handle(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        db.exec(
            "CREATE VIRTUAL TABLE notes USING fts4(title, body);"
            "CREATE VIRTUAL TABLE mail USING fts5(subject, text);"
            "CREATE VIRTUAL TABLE boxes USING rtree(id, minX, maxX, minY, maxY);");
        for (int i = 1; i <= 30; ++i) {
            const std::string n = std::to_string(i);
            db.query("INSERT INTO notes(docid, title, body) VALUES(?, ?, ?)",
                     {std::int64_t{i}, "标题 " + n, "正文 body number " + n});
            db.query("INSERT INTO mail(rowid, subject, text) VALUES(?, ?, ?)",
                     {std::int64_t{i}, "subject " + n, "邮件 text " + n});
            db.query("INSERT INTO boxes VALUES(?, ?, ?, ?, ?)",
                     {std::int64_t{100 + i}, std::int64_t{i}, std::int64_t{i + 5}, std::int64_t{-i},
                      std::int64_t{i * 2}});
        }
        goneNotes = sqliteRows(db, "SELECT docid, title, body FROM notes WHERE docid % 7 = 0");
        goneMail = sqliteRows(db, "SELECT rowid, subject, text FROM mail WHERE rowid % 7 = 0");
        goneBoxes = sqliteRows(db, "SELECT * FROM boxes WHERE id % 7 = 0");
        db.exec(
            "DELETE FROM notes WHERE docid % 7 = 0; DELETE FROM mail WHERE rowid % 7 = 0;"
            "DELETE FROM boxes WHERE id % 7 = 0;");
        notes = sqliteRows(db, "SELECT docid, title, body FROM notes");
        mail = sqliteRows(db, "SELECT rowid, subject, text FROM mail");
        boxes = sqliteRows(db, "SELECT * FROM boxes");
    }
    const Recovery r = recoverTables(path);
    EXPECT_EQ(rows(r, "notes", RecordState::Normal), notes);
    EXPECT_EQ(rows(r, "mail", RecordState::Normal), mail);
    EXPECT_EQ(rows(r, "boxes", RecordState::Normal), boxes);
    EXPECT_EQ(rows(r, "notes", RecordState::Deleted, true), withoutIds(goneNotes));
    EXPECT_EQ(rows(r, "mail", RecordState::Deleted, true), withoutIds(goneMail));
    EXPECT_EQ(rows(r, "boxes", RecordState::Deleted), goneBoxes);
    std::set<std::string> names;
    for (const TableShape& t : r.tables)
        names.insert(t.name);
    EXPECT_EQ(names, (std::set<std::string>{"notes", "mail", "boxes"}));

    RecoveryOptions all;
    all.allTables = true;
    names.clear();
    for (const TableShape& t : recoverTables(path, all).tables)
        names.insert(t.name);
    for (const char* shadow : {"notes_segdir", "mail_data", "boxes_node", "boxes_rowid"})
        EXPECT_TRUE(names.count(shadow)) << shadow;
}

}  // namespace
}  // namespace pc
