// Databases as Android 9 and later leave them: write-ahead log with changes not yet checkpointed,
// secure_delete, auto_vacuum FULL; and rollback journals, hot or kept by PERSIST mode.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "byte_order.h"
#include "contacts_fixture.h"
#include "expected_rows.h"
#include "scan_runner.h"
#include "scanner_for.h"
#include "sms_fixture.h"
#include "temp_dir.h"

namespace pc {
namespace {

namespace fx = fixtures;
namespace fs = std::filesystem;
using testing::ExpectedRows;
using testing::RowText;

// Builds the category's database at `path` with `shape`; what it should hold.
ExpectedRows build(CategoryCode code, const std::string& path, const fx::DbShape& shape,
                   std::uint64_t seed) {
    switch (code) {
        case CategoryCode::Sms: {
            fx::SmsDbOptions o;
            o.shape = shape;
            o.messages = 400;
            o.seed = seed;
            return testing::expectedRows(fx::buildSmsDatabase(path, o));
        }
        case CategoryCode::CallLog: {
            fx::CallsDbOptions o;
            o.shape = shape;
            o.calls = 400;
            o.seed = seed;
            return testing::expectedRows(fx::buildCallsDatabase(path, o));
        }
        default: break;  // contacts; the stores that join tables have tests of their own
    }
    fx::ContactsDbOptions o;
    o.currentLayout = true;
    o.shape = shape;
    o.contacts = 200;
    o.seed = seed;
    return testing::expectedRows(fx::buildContactsDatabase(path, o));
}

struct Scanned {
    testing::ScanRun run;
    std::multiset<RowText> normal, deleted;
};

std::unique_ptr<Scanned> scan(CategoryCode code, const std::string& path) {
    auto s = std::make_unique<Scanned>();
    auto scanner = scannerFor(code);
    testing::runScan(s->run, *scanner, code, path);
    EXPECT_EQ(s->run.outcome, ScanOutcome::Completed);
    s->normal = testing::storedRows(s->run.store, code, RecordState::Normal);
    s->deleted = testing::storedRows(s->run.store, code, RecordState::Deleted);
    return s;
}

// The figures a scan is held to: every live row normal, deleted rows whose bytes survive found
// (at least 99 in 100), nothing live listed deleted, at most one false row in 200.
void expectRecovered(const ExpectedRows& expected, const Scanned& s, const std::string& path) {
    EXPECT_EQ(s.normal, expected.live);
    const auto bytes = testing::allFileBytes(path);
    std::size_t surviving = 0, found = 0;
    for (const auto& [row, records] : expected.deletedRecords) {
        const bool survives = std::all_of(records.begin(), records.end(), [&](const auto& r) {
            return std::search(bytes.begin(), bytes.end(), r.begin(), r.end()) != bytes.end();
        });
        if (!survives) continue;
        ++surviving;
        found += s.deleted.count(row) > 0;
    }
    EXPECT_GT(surviving, 10u);
    EXPECT_GE(found * 100, surviving * 99) << found << " of " << surviving;
    std::size_t falseRows = 0;
    for (const RowText& row : s.deleted) {
        EXPECT_FALSE(expected.live.count(row) && !expected.deleted.count(row)) << row;
        falseRows += !expected.deleted.count(row);
    }
    EXPECT_LE(falseRows * 200, s.deleted.size() + s.normal.size()) << falseRows << " false rows";
}

struct Modern {
    const char* name;
    CategoryCode code;
    std::uint32_t pageSize;
    bool checkpointBeforeDeletes;
};

class ModernPhone : public ::testing::TestWithParam<Modern> {};

TEST_P(ModernPhone, ListsTheLogsRowsAndFindsWhatItsDeletionsZeroed) {
    const Modern& m = GetParam();
    testing::TempDir dir;
    const std::string path = dir.file("db");
    const ExpectedRows expected =
        build(m.code, path, fx::modernShape(m.pageSize, m.checkpointBeforeDeletes), m.pageSize);
    ASSERT_TRUE(fs::exists(path + "-wal"));
    ASSERT_EQ(testing::sqliteRows(path, m.code), expected.live);  // what SQLite itself reads
    const auto s = scan(m.code, path);
    expectRecovered(expected, *s, path);
    ASSERT_GE(s->run.host.logRows.size(), 2u);
    EXPECT_EQ(s->run.host.logRows[1].rfind("读取日志文件 db-wal: ", 0), 0u)
        << s->run.host.logRows[1];
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, ModernPhone,
    ::testing::Values(Modern{"sms_4096_all_in_log", CategoryCode::Sms, 4096, false},
                      Modern{"sms_1024_deletions_in_log", CategoryCode::Sms, 1024, true},
                      Modern{"sms_4096_deletions_in_log", CategoryCode::Sms, 4096, true},
                      Modern{"calls_4096_all_in_log", CategoryCode::CallLog, 4096, false},
                      Modern{"calls_1024_deletions_in_log", CategoryCode::CallLog, 1024, true},
                      Modern{"contacts_4096_all_in_log", CategoryCode::Contacts, 4096, false},
                      Modern{"contacts_1024_deletions_in_log", CategoryCode::Contacts, 1024, true}),
    [](const auto& info) { return std::string(info.param.name); });

// Damage done to a log the way SQLite meets it: the scan sees the newest state SQLite sees.
struct LogDamage {
    const char* name;
    std::function<void(const std::string& path, fx::SqliteDb& db)> before;  // while it is open
    std::function<void(std::vector<std::uint8_t>& wal)> damage;             // to the copy
};

class DamagedLog : public ::testing::TestWithParam<LogDamage> {};

TEST_P(DamagedLog, ReadsWhatSqliteReadsAndCarvesTheRest) {
    testing::TempDir dir;
    const std::string path = dir.file("mmssms.db");
    fx::SmsDbOptions o;
    o.shape = fx::modernShape(4096, false);
    o.messages = 300;
    o.seed = 11;
    const ExpectedRows expected = testing::expectedRows(fx::buildSmsDatabase(path, o));
    {
        fx::SqliteDb db(path);
        sqlite3_db_config(db.handle(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        db.exec("PRAGMA wal_autocheckpoint=0");
        GetParam().before(path, db);
    }
    auto wal = testing::readBytes(path + "-wal");
    GetParam().damage(wal);
    testing::writeBytes(path + "-wal", wal);

    const auto s = scan(CategoryCode::Sms, path);
    EXPECT_EQ(s->normal, testing::sqliteRows(path, CategoryCode::Sms));
    // Every row written whose bytes are still somewhere and that SQLite no longer sees is
    // carved, once.
    const auto bytes = testing::allFileBytes(path);
    std::size_t surviving = 0, found = 0;
    for (const auto& [row, records] : expected.deletedRecords) {
        if (s->normal.count(row)) continue;
        const auto& r = records.front();
        if (std::search(bytes.begin(), bytes.end(), r.begin(), r.end()) == bytes.end()) continue;
        ++surviving;
        found += s->deleted.count(row) == 1;
    }
    EXPECT_GE(found * 100, surviving * 99) << found << " of " << surviving;
    for (const RowText& row : s->deleted)
        EXPECT_FALSE(s->normal.count(row)) << row;
}

constexpr std::size_t kWalHeader = 32, kFrame = 24 + 4096;

INSTANTIATE_TEST_SUITE_P(
    Logs, DamagedLog,
    ::testing::Values(LogDamage{"untouched", [](auto&, auto&) {}, [](auto&) {}},
                      // A checkpoint, then a short transaction: the log restarts with new salts and
                      // the old frames stay behind the new ones.
                      LogDamage{"restarted_with_old_frames_behind",
                                [](auto&, fx::SqliteDb& db) {
                                    db.query("PRAGMA wal_checkpoint(RESTART)");
                                    db.exec("DELETE FROM sms WHERE _id % 7 = 1");
                                },
                                [](auto&) {}},
                      LogDamage{"torn_last_frame", [](auto&, auto&) {},
                                [](auto& wal) { wal.resize(wal.size() - kFrame / 2); }},
                      LogDamage{"bad_checksum_in_the_middle", [](auto&, auto&) {},
                                [](auto& wal) {
                                    const std::size_t frames = (wal.size() - kWalHeader) / kFrame;
                                    wal[kWalHeader + (frames / 2) * kFrame + 24 + 100] ^= 0x5A;
                                }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RollbackJournal, KeptByPersistModeGivesBackWhatSecureDeleteZeroed) {
    testing::TempDir dir;
    const std::string path = dir.file("mmssms.db");
    fx::SmsDbOptions o;
    o.shape.secureDelete = true;
    o.shape.persistJournal = true;
    o.messages = 300;
    const ExpectedRows expected = testing::expectedRows(fx::buildSmsDatabase(path, o));
    ASSERT_TRUE(fs::exists(path + "-journal"));
    const auto journal = testing::readBytes(path + "-journal");
    ASSERT_EQ(*readBe32(journal, 0), 0u);  // the header a commit zeroed
    const auto s = scan(CategoryCode::Sms, path);
    expectRecovered(expected, *s, path);
    EXPECT_NE(std::find_if(s->run.host.logRows.begin(), s->run.host.logRows.end(),
                           [](const std::string& r) {
                               return r.rfind("读取回滚日志 mmssms.db-journal: ", 0) == 0;
                           }),
              s->run.host.logRows.end());
}

TEST(RollbackJournal, HotIsRolledBackInThePrivateCopyOnly) {
    testing::TempDir dir;
    const std::string path = dir.file("mmssms.db");
    fx::SmsDbOptions o;
    o.messages = 300;
    const ExpectedRows expected = testing::expectedRows(fx::buildSmsDatabase(dir.file("a.db"), o));
    fx::copyWithHotJournal(dir.file("a.db"), path, "sms");
    const auto before = testing::readBytes(path);
    const auto s = scan(CategoryCode::Sms, path);
    EXPECT_EQ(s->normal, expected.live);
    EXPECT_EQ(testing::readBytes(path), before);
    EXPECT_NE(std::find_if(s->run.host.logRows.begin(), s->run.host.logRows.end(),
                           [](const std::string& r) {
                               return r.find("中有未提交的事务") != std::string::npos;
                           }),
              s->run.host.logRows.end());
}

}  // namespace
}  // namespace pc
