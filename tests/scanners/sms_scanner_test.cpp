#include <gtest/gtest.h>

#include <map>
#include <set>
#include <tuple>

#include "hand_written_table.h"
#include "record_bytes.h"
#include "row_details.h"
#include "scan_runner.h"
#include "sms_fixture.h"
#include "sms_scanner.h"
#include "temp_dir.h"

namespace pc {
namespace {

namespace fx = fixtures;
using testing::ScanRun;
using testing::ShownMessage;
using testing::TempDir;
using Key = std::tuple<std::string, std::string, std::string, std::string>;

Key keyOf(const fx::SmsMessage& m) {
    return {m.address, testing::utcPlus8Text(m.date), smsTypeText(m.type), m.body};
}
Key keyOf(const PSMSvalue& r) {
    return {std::string(r.address), std::string(r.date), std::string(r.type), std::string(r.body)};
}

// What a carve cannot give whole by design: a record spilling onto overflow pages (whose bytes
// this test does not look for), or a header with more than four bytes beyond one per column.
bool carvable(const fx::SmsMessage& m, std::uint32_t pageSize) {
    const auto bytes = fx::recordBytesFromColumn1(m.row);
    if (bytes.size() + 4 > pageSize - 35) return false;
    std::size_t extra = 0;
    for (const auto& v : m.row) {
        if (const auto* s = std::get_if<std::string>(&v)) {
            const std::size_t type = 13 + 2 * s->size();
            extra += type >= 128 ? (type >= 16384 ? 2 : 1) : 0;
        }
    }
    return extra <= 4;
}

struct Layout {
    const char* name;
    bool currentLayout;
    std::uint32_t pageSize;
    bool wal;
    bool autoVacuumFull;
};

class SmsRecovery : public ::testing::TestWithParam<Layout> {};

TEST_P(SmsRecovery, FindsEveryLiveMessageAndTheDeletedOnesStillInTheFile) {
    const Layout& layout = GetParam();
    TempDir dir;
    fx::SmsDbOptions options;
    options.currentLayout = layout.currentLayout;
    options.shape = {layout.pageSize, layout.wal, layout.autoVacuumFull, false};
    options.messages = 400;
    options.seed = layout.pageSize + layout.wal;
    const std::string path = dir.file("mmssms.db");
    const fx::SmsFixture fixture = fx::buildSmsDatabase(path, options);
    const auto file = testing::readBytes(path);

    ScanRun run;
    SmsScanner scanner;
    testing::runScan(run, scanner, CategoryCode::Sms, path);
    ASSERT_EQ(run.outcome, ScanOutcome::Completed);
    EXPECT_TRUE(run.host.messages.empty());

    // Every live message is listed normal, exactly once, with its exact fields, whatever its
    // length; nothing else is normal, and no copy of a live message is listed deleted.
    std::multiset<Key> normal, deleted, live;
    for (const PSMSvalue& r : run.store.SmsRecords()) {
        (r.state == RecordState::Normal ? normal : deleted).insert(keyOf(r));
        EXPECT_FALSE(testing::holdsControlBytes(r.address) || testing::holdsControlBytes(r.body))
            << r.found.offset;
    }
    for (const auto& m : fixture.live)
        live.insert(keyOf(m));
    EXPECT_EQ(normal, live);
    for (const Key& k : deleted)
        EXPECT_FALSE(live.count(k))
            << "a copy of a live message listed as deleted: " << std::get<3>(k);
    int deletedChecked = 0;
    for (const auto& m : fixture.deleted) {
        if (!carvable(m, layout.pageSize) ||
            !testing::bytesOccurAfterFirstPage(file, layout.pageSize,
                                               fx::recordBytesFromColumn1(m.row)))
            continue;
        ++deletedChecked;
        EXPECT_TRUE(deleted.count(keyOf(m))) << "deleted message " << m.id << " not found";
    }
    EXPECT_GT(fixture.live.size(), 200u);
    if (!layout.autoVacuumFull) {
        EXPECT_GT(deletedChecked, 20);
    }

    // Every row is a written message; where a later cell overwrote part of a stale copy's body,
    // the body is empty (no longer valid UTF-8) or garbled, its header fields still right. A
    // header that merely looks like an sms record is rare noise the checks cannot tell apart.
    std::set<Key> generated;
    std::set<std::tuple<std::string, std::string, std::string>> headers;
    for (const auto* list : {&fixture.live, &fixture.deleted}) {
        for (const auto& m : *list) {
            generated.insert(keyOf(m));
            headers.insert({m.address, testing::utcPlus8Text(m.date), smsTypeText(m.type)});
        }
    }
    const int noise = testing::countNoise(
        run.store.SmsRecords(), generated, headers, [](const PSMSvalue& r) { return keyOf(r); },
        [](const PSMSvalue& r) {
            return std::tuple{std::string(r.address), std::string(r.date), std::string(r.type)};
        });
    EXPECT_LE(noise * 200, run.store.count(CategoryCode::Sms)) << noise << " rows of noise";

    const std::int32_t found = run.store.count(CategoryCode::Sms);
    const auto d = static_cast<std::int32_t>(deleted.size());
    EXPECT_EQ(run.host.rows.size(), static_cast<std::size_t>(found));
    EXPECT_EQ(run.host.branches.at(0).counts, "(" + std::to_string(found) + ")(" +
                                                  std::to_string(found - d) + ")(" +
                                                  std::to_string(d) + ")");
    EXPECT_EQ(run.host.logRows.back(), "扫描完成,共找到 " + std::to_string(found) +
                                           " 条短信, 其中有" + std::to_string(d) + "条删除");
}

INSTANTIATE_TEST_SUITE_P(AndroidLayouts, SmsRecovery,
                         ::testing::Values(Layout{"old_1024", false, 1024, false, false},
                                           Layout{"current_4096", true, 4096, false, false},
                                           Layout{"current_4096_wal", true, 4096, true, false},
                                           Layout{"current_4096_autovacuum", true, 4096, false,
                                                  true},
                                           Layout{"old_65536_wal", false, 65536, true, false},
                                           Layout{"current_65536", true, 65536, false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// A small database whose rows a test writes by hand.
class SmsRows : public testing::HandWrittenTable<SmsScanner> {
  protected:
    SmsRows() : HandWrittenTable(CategoryCode::Sms, "sms") {}
    void SetUp() override { create(fx::AndroidSchema::mmssms_new); }
    void add(std::int64_t id, std::int64_t date, std::int64_t type, const std::string& body) {
        HandWrittenTable::add({{"_id", id},
                               {"thread_id", std::int64_t{1}},
                               {"address", std::string("10086")},
                               {"date", date},
                               {"type", type},
                               {"body", body}},
                              [](const std::string& c) {
                                  const bool nullable = c == "subject" || c == "person" ||
                                                        c == "creator" || c == "service_center";
                                  return nullable ? Value{nullptr} : Value{std::int64_t{0}};
                              });
    }
};

// The same eight rows, deleted (carved, so the checks apply) or live (listed whatever they hold).
struct CheckCase {
    const char* name;
    bool deleted;
    std::set<std::tuple<std::string, std::string, std::string>> expected;  // body, type, date
};

class SmsChecks : public SmsRows, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(SmsChecks, ApplyToCarvedRecordsOnly) {
    const std::int64_t may2013 = 1368748800000;
    add(1, may2013, 2, "sent");
    add(2, may2013, 5, "type five");
    add(3, may2013, 10, "type ten");
    add(4, 283968000000 - 1000, 1, "1978");  // 1978-12-31 23:59:59 in UTC+8
    add(5, 283968000000, 1, "1979");         // 1979-01-01 00:00:00
    add(6, 4102415999000, 1, "2099");        // 2099-12-31 23:59:59
    add(7, 4102416000000, 1, "2100");
    add(8, 568971792000000, 1, "year 20000");  // its text begins "2000"
    if (GetParam().deleted) db().exec("DELETE FROM sms");
    ScanRun& run = scan();

    std::set<std::tuple<std::string, std::string, std::string>> got;
    for (const auto& r : run.store.SmsRecords()) {
        got.insert({std::string(r.body), std::string(r.type), std::string(r.date)});
        EXPECT_EQ(r.state, GetParam().deleted ? RecordState::Deleted : RecordState::Normal);
    }
    EXPECT_EQ(got, GetParam().expected);
    const auto n = std::to_string(got.size());
    const auto d = GetParam().deleted ? n : "0";
    EXPECT_EQ(run.host.status[1], "找到 " + n + " 条短信, " + d + "条删除");
}

INSTANTIATE_TEST_SUITE_P(
    States, SmsChecks,
    ::testing::Values(CheckCase{"deleted",
                                true,
                                {{"sent", "发送", "2013-05-17 08:00:00"},
                                 {"type five", "其它", "2013-05-17 08:00:00"},
                                 {"1979", "接收", "1979-01-01"},
                                 {"2099", "接收", "2099-12-31 23:59:59"}}},
                      // A live date no phone could have is shown as its number.
                      CheckCase{"live",
                                false,
                                {{"sent", "发送", "2013-05-17 08:00:00"},
                                 {"type five", "其它", "2013-05-17 08:00:00"},
                                 {"type ten", "其它", "2013-05-17 08:00:00"},
                                 {"1978", "接收", "283967999000"},
                                 {"1979", "接收", "1979-01-01"},
                                 {"2099", "接收", "2099-12-31 23:59:59"},
                                 {"2100", "接收", "4102416000000"},
                                 {"year 20000", "接收", "568971792000000"}}}),
    [](const auto& info) { return std::string(info.param.name); });

// Some vendors' builds keep a message their app deleted as a live row with `deleted` = 1, in a
// column they add; where the column exists, such a row is deleted, and says why.
TEST_F(SmsRows, ListsARowItsAppMarkedDeletedAsDeleted) {
    db().exec("DROP TABLE sms");
    create(
        "CREATE TABLE sms (_id INTEGER PRIMARY KEY,thread_id INTEGER,address TEXT,date "
        "INTEGER,type INTEGER,body TEXT,deleted INTEGER DEFAULT 0,sim_slot INTEGER DEFAULT 0)");
    add(1, 1368748800000, 1, "kept");
    add(2, 1368748801000, 1, "deleted in the app");
    add(3, 1368748802000, 2, "kept too");
    db().exec("UPDATE sms SET deleted = 1 WHERE _id = 2");
    ScanRun& run = scan();
    std::map<std::string, RecordState> got;
    for (const PSMSvalue& m : run.store.SmsRecords())
        got[std::string(m.body)] = m.state;
    EXPECT_EQ(got, (std::map<std::string, RecordState>{{"kept", RecordState::Normal},
                                                       {"deleted in the app", RecordState::Deleted},
                                                       {"kept too", RecordState::Normal}}));
    EXPECT_EQ(run.host.branches.at(0).counts, "(3)(2)(1)");
    for (std::uint32_t i = 0; i < 3; ++i) {
        const std::string details = rowDetails(run.store, CategoryCode::Sms, i, nullptr, "f.db");
        EXPECT_EQ(details.find("由应用标记为已删除") != std::string::npos,
                  run.store.SmsRecords()[i].body == "deleted in the app")
            << details;
    }
}

TEST_F(SmsRows, ReportsTheScanAsTheWindowShowsIt) {
    add(1, 1368748800000, 1, "hello");
    ScanRun& run = scan();
    EXPECT_EQ(run.host.logRows,
              (std::vector<std::string>{"扫描... ", "扫描完成,共找到 1 条短信, 其中有0条删除"}));
    EXPECT_EQ(run.host.status[0], "扫描完成");
    EXPECT_EQ(run.host.commandStates,
              (std::vector<CommandState>{CommandState::Scanning, CommandState::Idle}));
    EXPECT_EQ(run.state.ScanHalted, 1);
    EXPECT_EQ(run.host.progressMax + 1, run.host.pages.size() + 1);
    ASSERT_EQ(run.host.branches.size(), 1u);
    EXPECT_EQ(run.host.branches[0].code, CategoryCode::Sms);
}

TEST_F(SmsRows, StopsAtTheNextPageAndStillEndsTheScan) {
    for (int i = 1; i <= 300; ++i)
        add(i, 1368748800000 + i * 1000, 1, std::string(200, 'x'));
    std::uint32_t stopAt = 0;
    run_.host.onPage = [&](std::uint32_t page) {
        // The stop command, pressed half way through the pages.
        if (stopAt == 0) stopAt = run_.host.progressMax / 2;
        if (page == stopAt) run_.state.ScanHalted = 1;
    };
    ScanRun& run = scan();
    EXPECT_EQ(run.host.pages.back(), stopAt);  // the flag is looked at right after the events
    const auto found = run.store.count(CategoryCode::Sms);
    EXPECT_GT(found, 0);
    EXPECT_LT(found, 300);
    EXPECT_EQ(run.host.status[0], "扫描完成");
    std::int32_t deleted = 0;
    for (const auto& r : run.store.SmsRecords())
        deleted += r.state == RecordState::Deleted;
    EXPECT_EQ(run.host.branches.at(0).counts, "(" + std::to_string(found) + ")(" +
                                                  std::to_string(found - deleted) + ")(" +
                                                  std::to_string(deleted) + ")");
    EXPECT_EQ(run.host.commandStates.back(), CommandState::Idle);
    EXPECT_EQ(run.state.ScanHalted, 1);
}

struct EarlyEnd {
    const char* name;
    std::function<void(const std::string&)> make;
    std::vector<ShownMessage> messages;
};

class SmsEarlyEnd : public ::testing::TestWithParam<EarlyEnd> {};

TEST_P(SmsEarlyEnd, ShowsWhyAndLeavesTheBranchWithoutCounts) {
    TempDir dir;
    const std::string path = dir.file("mmssms.db");
    GetParam().make(path);
    ScanRun run;
    SmsScanner scanner;
    testing::runScan(run, scanner, CategoryCode::Sms, path);

    EXPECT_EQ(run.outcome, ScanOutcome::EndedEarly);
    EXPECT_EQ(run.host.messages, GetParam().messages);
    ASSERT_EQ(run.host.branches.size(), 1u);
    EXPECT_EQ(run.host.branches[0].counts, "");
    EXPECT_EQ(run.host.status[0], "正在扫描...");
    EXPECT_EQ(run.host.logRows, std::vector<std::string>{"扫描... "});
    EXPECT_EQ(run.host.commandStates.back(), CommandState::Idle);
    EXPECT_EQ(run.state.ScanHalted, 1);
    EXPECT_EQ(run.store.count(CategoryCode::Sms), 0);
}

const ShownMessage kInvalid{"无效的数据文件！", "提示", MessageIcon::Information};
const ShownMessage kReadError{"Read then device error......", "提示", MessageIcon::Error};
const ShownMessage kOpenError{"Open the device error......", "information", MessageIcon::Error};

INSTANTIATE_TEST_SUITE_P(
    Files, SmsEarlyEnd,
    ::testing::Values(
        EarlyEnd{"text_file",
                 [](const std::string& p) {
                     testing::writeBytes(p, std::vector<std::uint8_t>(600, 'a'));
                 },
                 {kInvalid}},
        EarlyEnd{
            "short_file",
            [](const std::string& p) { testing::writeBytes(p, std::vector<std::uint8_t>(100, 0)); },
            {kReadError, kInvalid}},
        EarlyEnd{"empty_file",
                 [](const std::string& p) { testing::writeBytes(p, {}); },
                 {kReadError, kInvalid}},
        EarlyEnd{"missing_file", [](const std::string&) {}, {kOpenError, kReadError, kInvalid}},
        EarlyEnd{"no_sms_table",
                 [](const std::string& p) {
                     fx::createAndroidDb(p, fx::AndroidSchema::calllog_new, {});
                 },
                 {{"没有找短信记录，扫描结束！", "提示", MessageIcon::Information}}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pc
