#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "android_schemas.h"
#include "call_log_scanner.h"
#include "contacts_fixture.h"
#include "hand_written_table.h"
#include "record_bytes.h"
#include "scan_runner.h"
#include "sqlite_db.h"
#include "temp_dir.h"

namespace pc {
namespace {

namespace fx = fixtures;
using testing::ScanRun;
using testing::TempDir;
using Key = std::tuple<std::string, std::string, std::string, std::string, std::string>;

Key keyOf(const fx::Call& c) {
    return {c.number, c.name.empty() ? "NULL" : c.name, testing::utcPlus8Text(c.date),
            std::to_string(c.duration), callTypeText(c.type)};
}
Key keyOf(const PCallValue& r) {
    return {std::string(r.number), std::string(r.name), std::string(r.date),
            std::string(r.duration), std::string(r.type)};
}

struct Layout {
    const char* name;
    bool currentLayout;
    std::uint32_t pageSize;
    bool wal;
};

class CallLogRecovery : public ::testing::TestWithParam<Layout> {};

TEST_P(CallLogRecovery, FindsEveryLiveCallAndTheDeletedOnesStillInTheFile) {
    const Layout& layout = GetParam();
    TempDir dir;
    fx::CallsDbOptions o;
    o.currentLayout = layout.currentLayout;
    o.shape.pageSize = layout.pageSize;
    o.shape.wal = layout.wal;
    o.calls = 400;
    o.seed = layout.pageSize + layout.currentLayout;
    const std::string path = dir.file("calls.db");
    const fx::CallsFixture fixture = fx::buildCallsDatabase(path, o);
    const auto file = testing::readBytes(path);

    ScanRun run;
    CallLogScanner scanner;
    testing::runScan(run, scanner, CategoryCode::CallLog, path);
    ASSERT_EQ(run.outcome, ScanOutcome::Completed);

    // Every live call listed normal once with its exact fields, nothing else normal, no copy of
    // a live call listed deleted.
    std::multiset<Key> normal, deleted, live;
    for (const PCallValue& r : run.store.CallLogRecords()) {
        (r.state == RecordState::Normal ? normal : deleted).insert(keyOf(r));
        EXPECT_FALSE(testing::holdsControlBytes(r.number) || testing::holdsControlBytes(r.name));
    }
    for (const fx::Call& c : fixture.live)
        live.insert(keyOf(c));
    EXPECT_EQ(normal, live);
    for (const Key& k : deleted)
        EXPECT_FALSE(live.count(k))
            << "a copy of a live call listed as deleted: " << std::get<0>(k);
    int deletedChecked = 0;
    for (const fx::Call& c : fixture.deleted) {
        if (!testing::bytesOccurAfterFirstPage(file, layout.pageSize,
                                               fx::recordBytesFromColumn1(c.row)))
            continue;
        ++deletedChecked;
        EXPECT_TRUE(deleted.count(keyOf(c))) << "deleted call " << c.id;
    }
    EXPECT_GT(deletedChecked, 20);

    // As with messages: a stale copy whose name a later cell overwrote keeps its number, date
    // and type; a header that only looks like a call's is rare noise.
    std::set<Key> written;
    std::set<std::tuple<std::string, std::string, std::string>> headers;
    for (const auto* list : {&fixture.live, &fixture.deleted}) {
        for (const fx::Call& c : *list) {
            written.insert(keyOf(c));
            headers.insert({c.number, testing::utcPlus8Text(c.date), callTypeText(c.type)});
        }
    }
    const int noise = testing::countNoise(
        run.store.CallLogRecords(), written, headers, [](const PCallValue& r) { return keyOf(r); },
        [](const PCallValue& r) {
            return std::tuple{std::string(r.number), std::string(r.date), std::string(r.type)};
        });
    EXPECT_LE(noise * 100, run.store.count(CategoryCode::CallLog)) << noise << " rows of noise";
    EXPECT_EQ(run.host.logRows.back().rfind("扫描完成,共找到 ", 0), 0u);
}

INSTANTIATE_TEST_SUITE_P(AndroidLayouts, CallLogRecovery,
                         ::testing::Values(Layout{"calllog_current", true, 4096, false},
                                           Layout{"calllog_current_wal", true, 4096, true},
                                           Layout{"contacts2_old", false, 4096, false},
                                           Layout{"contacts2_old_1024", false, 1024, false},
                                           Layout{"calllog_current_65536", true, 65536, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// A hand-made `calls` table: only the columns the rules look at.
class CallRows : public testing::HandWrittenTable<CallLogScanner> {
  protected:
    CallRows() : HandWrittenTable(CategoryCode::CallLog, "calls") {}
    // The values in column order.
    void add(const std::vector<fx::Value>& row) { fx::insertRow(db(), "calls", row); }
    std::set<Key> found() const {
        std::set<Key> out;
        for (const PCallValue& r : run_.store.CallLogRecords())
            out.insert(keyOf(r));
        return out;
    }
};

TEST_F(CallRows, KeepsTypesUpTo144AndYearsFrom2000To2099) {
    create(
        "CREATE TABLE calls (_id INTEGER PRIMARY KEY,number TEXT,date INTEGER,duration "
        "INTEGER,type INTEGER,name TEXT)");
    const std::int64_t may2013 = 1368748800000;
    using V = fx::Value;
    add({V{1}, V{"1001"}, V{may2013}, V{300}, V{1}, V{"王伟"}});
    add({V{2}, V{"1002"}, V{may2013}, V{0}, V{2}, V{nullptr}});  // a NULL name shows "NULL"
    add({V{3}, V{"1003"}, V{may2013}, V{5}, V{3}, V{"c"}});
    add({V{4}, V{"1004"}, V{may2013}, V{5}, V{0}, V{"d"}});
    add({V{5}, V{"1005"}, V{may2013}, V{5}, V{144}, V{"e"}});
    add({V{6}, V{"1006"}, V{may2013}, V{5}, V{145}, V{"f"}});
    add({V{7}, V{"1007"}, V{may2013}, V{5}, V{nullptr}, V{"g"}});
    add({V{8}, V{"1008"}, V{946655999000}, V{5}, V{1}, V{"1999"}});  // 1999-12-31 23:59:59
    add({V{9}, V{"1009"}, V{946656000000}, V{5}, V{1}, V{"2000"}});  // 2000-01-01
    add({V{10}, V{"1010"}, V{4102415999000}, V{5}, V{1}, V{"2099"}});
    add({V{11}, V{"1011"}, V{4102416000000}, V{5}, V{1}, V{"2100"}});
    add({V{12}, V{"1012"}, V{568971792000000}, V{5}, V{1}, V{"20000"}});  // text begins "2000"
    db().exec("DELETE FROM calls");  // carved, so that the checks apply
    scan();
    EXPECT_EQ(found(), (std::set<Key>{{"1001", "王伟", "2013-05-17 08:00:00", "300", "呼入"},
                                      {"1002", "NULL", "2013-05-17 08:00:00", "0", "呼出"},
                                      {"1003", "c", "2013-05-17 08:00:00", "5", "未接通"},
                                      {"1004", "d", "2013-05-17 08:00:00", "5", "其它"},
                                      {"1005", "e", "2013-05-17 08:00:00", "5", "其它"},
                                      {"1009", "2000", "2000-01-01", "5", "呼入"},
                                      {"1010", "2099", "2099-12-31 23:59:59", "5", "呼入"}}));
    EXPECT_EQ(run_.host.status[1], "找到 7 条通话记录, 7条删除");
    EXPECT_EQ(run_.host.branches.at(0).counts, "(7)(0)(7)");
}

TEST_F(CallRows, RequiresDefaultedColumnsUnlessDefaultNullAndAlwaysDateAndType) {
    // `a` has a DEFAULT, so a NULL there is refused; `b` has DEFAULT NULL, so it may be NULL;
    // `date` is required by its name although its DEFAULT is NULL.
    create(
        "CREATE TABLE calls (_id INTEGER PRIMARY KEY,number TEXT,a INTEGER DEFAULT 0,b INTEGER "
        "DEFAULT NULL,date INTEGER DEFAULT NULL,type INTEGER)");
    using V = fx::Value;
    add({V{1}, V{"2001"}, V{5}, V{nullptr}, V{1368748800000}, V{1}});
    add({V{2}, V{"2002"}, V{nullptr}, V{5}, V{1368748800000}, V{1}});
    db().exec("DELETE FROM calls");  // carved: the rules are the carver's
    scan();
    ASSERT_EQ(run_.store.count(CategoryCode::CallLog), 1);
    EXPECT_EQ(run_.store.CallLogRecords()[0].number, "2001");
}

TEST_F(CallRows, EndsEarlyWithoutACallsTable) {
    create("CREATE TABLE other (x INTEGER)");
    scan();
    EXPECT_EQ(run_.outcome, ScanOutcome::EndedEarly);
    EXPECT_EQ(run_.host.messages,
              (std::vector<testing::ShownMessage>{
                  {"没有找到通话记录，扫描结束！", "提示", MessageIcon::Information}}));
    EXPECT_EQ(run_.host.branches.at(0).counts, "");
}

// Samsung's logs.db: calls (voice, video, internet) among the entries of messages, which are no
// calls and are left out, live or deleted.
struct LogsLayout {
    const char* name;
    fx::AndroidSchema schema;
    std::uint32_t pageSize;
    bool wal;
};

class SamsungLogs : public ::testing::TestWithParam<LogsLayout> {};

TEST_P(SamsungLogs, ListsTheCallsLiveAndDeletedAndNoOtherEntries) {
    const LogsLayout& layout = GetParam();
    TempDir dir;
    const std::string path = dir.file("logs.db");
    std::vector<fx::Value> liveCalls, deletedCalls;  // numbers
    std::vector<std::vector<fx::Value>> deletedRows;
    std::set<Key> live, gone;
    {
        fx::SqliteDb db(path);
        db.exec("PRAGMA page_size=" + std::to_string(layout.pageSize));
        db.exec("PRAGMA auto_vacuum=FULL");
        db.exec(layout.wal ? "PRAGMA journal_mode=WAL" : "PRAGMA journal_mode=DELETE");
        db.exec(fx::androidSchema(layout.schema));
        db.exec("PRAGMA secure_delete=OFF");
        const std::int64_t base = 1368748800000;  // 2013-05-17 08:00 in UTC+8
        db.exec("BEGIN");
        for (int i = 0; i < 600; ++i) {
            // Every fourth entry is a message's (logtype 300), the rest calls of the three kinds.
            const int logType = i % 4 == 3 ? 300 : (i % 3 == 0 ? 100 : i % 3 == 1 ? 500 : 800);
            const std::string number = (logType == 300 ? "msg" : "1380000") + std::to_string(i);
            db.query(
                "INSERT INTO logs(number, name, date, duration, type, logtype, contactid, "
                "m_content) VALUES(?, ?, ?, ?, ?, ?, 0, ?)",
                {number, i % 5 ? fx::Value{"名字" + std::to_string(i)} : fx::Value{nullptr},
                 base + i * 60000, std::int64_t{i % 97}, std::int64_t{1 + i % 3},
                 std::int64_t{logType},
                 logType == 300 ? fx::Value{"短信内容"} : fx::Value{nullptr}});
        }
        db.exec("COMMIT");
        for (const auto& r : db.query(
                 "SELECT number, name, date, duration, type, logtype FROM logs WHERE logtype != "
                 "300 AND _id % 7 = 0")) {
            gone.insert({std::get<std::string>(r[0]),
                         r[1].index() == 0 ? "NULL" : std::get<std::string>(r[1]),
                         testing::utcPlus8Text(std::get<std::int64_t>(r[2])),
                         std::to_string(std::get<std::int64_t>(r[3])),
                         callTypeText(std::get<std::int64_t>(r[4]))});
        }
        db.exec("DELETE FROM logs WHERE _id % 7 = 0");
        for (const auto& r :
             db.query("SELECT number, name, date, duration, type FROM logs WHERE logtype != 300"))
            live.insert({std::get<std::string>(r[0]),
                         r[1].index() == 0 ? "NULL" : std::get<std::string>(r[1]),
                         testing::utcPlus8Text(std::get<std::int64_t>(r[2])),
                         std::to_string(std::get<std::int64_t>(r[3])),
                         callTypeText(std::get<std::int64_t>(r[4]))});
    }

    ScanRun run;
    CallLogScanner scanner;
    testing::runScan(run, scanner, CategoryCode::CallLog, path);
    ASSERT_EQ(run.outcome, ScanOutcome::Completed);
    std::set<Key> normal, deleted;
    for (const PCallValue& r : run.store.CallLogRecords()) {
        EXPECT_FALSE(r.number.starts_with("msg")) << r.number;
        EXPECT_TRUE((r.state == RecordState::Normal ? normal : deleted).insert(keyOf(r)).second)
            << "listed twice: " << r.number;
    }
    EXPECT_EQ(normal, live);
    std::size_t recovered = 0;
    for (const Key& k : deleted) {
        EXPECT_FALSE(live.count(k)) << "a live call listed deleted: " << std::get<0>(k);
        recovered += gone.count(k);
    }
    // With secure_delete off every deleted call's bytes stay in the file or its log.
    EXPECT_GE(recovered * 100, gone.size() * 99) << recovered << " of " << gone.size();
    EXPECT_LE((deleted.size() - recovered) * 200, normal.size() + deleted.size());
}

INSTANTIATE_TEST_SUITE_P(
    Versions, SamsungLogs,
    ::testing::Values(LogsLayout{"v40_1024", fx::AndroidSchema::samsung_logs_v40, 1024, false},
                      LogsLayout{"v40_4096_wal", fx::AndroidSchema::samsung_logs_v40, 4096, true},
                      LogsLayout{"v51_4096", fx::AndroidSchema::samsung_logs_v51, 4096, false},
                      LogsLayout{"v51_1024_wal", fx::AndroidSchema::samsung_logs_v51, 1024, true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pc
