#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <map>

#include "android_db.h"
#include "expected_rows.h"
#include "scan_runner.h"
#include "scanner_for.h"
#include "sms_fixture.h"
#include "temp_dir.h"

namespace pc {
namespace {

namespace fx = fixtures;
namespace fs = std::filesystem;
using testing::TempDir;

std::map<std::string, std::vector<std::uint8_t>> folderContents(const fs::path& dir) {
    std::map<std::string, std::vector<std::uint8_t>> files;
    for (const auto& e : fs::directory_iterator(dir))
        files[e.path().filename().string()] = testing::readBytes(e.path().string());
    return files;
}

// A database in write-ahead-log mode whose last changes are still only in its -wal file, as a
// copy taken from a running phone leaves it. Returns the messages it holds live, the log's
// deletions applied.
std::size_t walWithPendingFrames(const std::string& path) {
    fx::SmsDbOptions o;
    o.messages = 80;
    o.shape.wal = true;
    fx::buildSmsDatabase(path, o);
    {
        fx::SqliteDb db(path);
        db.exec("PRAGMA wal_autocheckpoint=0");
        sqlite3_db_config(db.handle(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        db.exec("DELETE FROM sms WHERE _id % 3 = 0");
    }
    return testing::sqliteRows(path, CategoryCode::Sms).size();
}

// A rollback-journal database with a hot journal beside it. Its messages are all in the main
// file, but a half-written transaction may have split them differently: returns 0, "some".
std::size_t hotJournal(const std::string& path) {
    fx::SmsDbOptions o;
    o.messages = 300;
    fx::buildSmsDatabase(path + ".orig", o);
    fx::copyWithHotJournal(path + ".orig", path, "sms");
    fs::remove(path + ".orig");
    return 0;
}

struct Source {
    const char* name;
    std::size_t (*make)(const std::string&);
    const char* sidecar;
};

class SourceSafety : public ::testing::TestWithParam<Source> {};

// Writing into a source would hide its -wal rows from every later reader; a read-write open by
// SQLite could roll back the journal or checkpoint the log over the deleted records.
TEST_P(SourceSafety, EveryScannerLeavesTheFileAndItsFolderAsTheyWere) {
    TempDir dir;
    const std::string path = dir.file("source.db");
    const std::size_t live = GetParam().make(path);
    ASSERT_TRUE(fs::exists(path + GetParam().sidecar));
    ::chmod(path.c_str(), 0444);
    const auto before = folderContents(dir.path());

    for (CategoryCode code : kAllCategories) {
        testing::ScanRun run;
        auto scanner = scannerFor(code);
        testing::runScan(run, *scanner, code, path);
        EXPECT_TRUE(run.host.errors.empty()) << run.host.errors.front();
        if (code != CategoryCode::Sms) continue;
        // The scan read the file to its end: a scan that stopped early would pass the rest.
        ASSERT_EQ(run.outcome, ScanOutcome::Completed);
        std::size_t normal = 0;
        for (const PSMSvalue& r : run.store.SmsRecords())
            normal += r.state == RecordState::Normal;
        if (live != 0) {
            EXPECT_EQ(normal, live);
        } else {
            EXPECT_GT(normal, 100u);
        }
    }
    EXPECT_EQ(folderContents(dir.path()), before);
}

INSTANTIATE_TEST_SUITE_P(Sources, SourceSafety,
                         ::testing::Values(Source{"wal_with_frames", walWithPendingFrames, "-wal"},
                                           Source{"hot_journal", hotJournal, "-journal"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pc
