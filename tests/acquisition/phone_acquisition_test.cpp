#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "RunCommand.h"
#include "contacts_fixture.h"
#include "fake_adb.h"
#include "phone_acquisition.h"
#include "phone_commands.h"
#include "phone_fixture.h"
#include "recording_host.h"
#include "scan_run.h"
#include "sms_fixture.h"
#include "window_words.h"

namespace pc {
namespace {

namespace fs = std::filesystem;
namespace fx = fixtures;
using testing::FakeAdb;
using testing::TempDir;

TEST(PhoneScript, CopiesEachDatabaseWithItsSideFilesFromWhereItsAndroidKeepsIt) {
    auto copy = [](const std::string& provider, const std::string& file) {
        const std::string old = "/data/data/" + provider + "/databases";
        const std::string current = "/data/user_de/0/" + provider + "/databases";
        return "d=" + old + "; [ -f " + current + "/" + file + " ] && d=" + current +
               "; for f in " + file + " " + file + "-wal " + file +
               "-journal; do [ -f $d/$f ] && " + "cat $d/$f > /dev/zktemp/$f; done\r\n";
    };
    EXPECT_EQ(PhoneScript(),
              "su \r\n"
              "mkdir /dev/zktemp\r\n"
              "rm -f /dev/zktemp/*\r\n" +
                  copy("com.android.providers.telephony", "mmssms.db") +
                  copy("com.android.providers.contacts", "contacts2.db") +
                  copy("com.android.providers.contacts", "calllog.db") +
                  copy("com.sec.android.provider.logsprovider", "logs.db") +
                  copy("com.google.android.apps.messaging", "bugle_db") +
                  copy("com.whatsapp", "msgstore.db") + copy("com.whatsapp", "wa.db") +
                  "exit\r\n"
                  "exit\r\n"
                  "del %0\r\n"
                  "Del /Q %0 >Nul \r\n");
}

TEST(PhoneCommands, QuoteTheWindowsScriptPathFolderByFolder) {
    EXPECT_EQ(windows::quotedScriptPath("D:\\Tools\\Phone Kit\\"),
              "D:\\\"Tools\"\\\"Phone Kit\"\\zk.tmp");
    EXPECT_EQ(windows::quotedScriptPath("C:\\"), "C:\\zk.tmp");
    const PhoneCommands w = windows::phoneCommands("D:\\Tools\\Phone Kit\\");
    EXPECT_EQ(w.makeTemp,
              "cmd.exe /c if not exist \"D:\\Tools\\Phone Kit\\Temp\" md \"D:\\Tools\\Phone "
              "Kit\\Temp\"");
    EXPECT_EQ(w.feedScript, "cmd.exe /c adb shell < D:\\\"Tools\"\\\"Phone Kit\"\\zk.tmp");
    ASSERT_EQ(w.pulls.size(), 21u);
    EXPECT_EQ(w.pulls[0],
              "cmd.exe /c adb pull /dev/zktemp/contacts2.db \"D:\\Tools\\Phone "
              "Kit\\Temp\\contacts2.db\"");
    EXPECT_EQ(w.pulls[4],
              "cmd.exe /c adb pull /dev/zktemp/mmssms.db-wal \"D:\\Tools\\Phone "
              "Kit\\Temp\\mmssms.db-wal\"");

    const PhoneCommands p = posix::phoneCommands("/opt/Phone Kit/it's/");
    EXPECT_EQ(p.makeTemp, "mkdir -p '/opt/Phone Kit/it'\\''s/Temp'");
    EXPECT_EQ(p.feedScript, "adb shell < '/opt/Phone Kit/it'\\''s/zk.tmp'");
    EXPECT_EQ(p.pulls[8],
              "adb pull /dev/zktemp/calllog.db-journal "
              "'/opt/Phone Kit/it'\\''s/Temp/calllog.db-journal'");
}

TEST(RunCommand, GivesTheExitCodeOrMinusOne) {
    EXPECT_EQ(RunCommand("exit 3"), 3);
    EXPECT_EQ(RunCommand("true"), 0);
    EXPECT_EQ(RunCommand("kill -9 $$"), -1);
    EXPECT_EQ(RunCommand(std::string(kMaxCommandLine, ' ') + "true"), -1);  // refused, not cut
    EXPECT_EQ(RunCommand(std::string(kMaxCommandLine - 4, ' ') + "true"), 0);
}

TEST(RunCommand, EndsACommandThatRunsPastItsLimitWhileTheCallerKeepsWorking) {
    TempDir dir;
    int waits = 0;
    CommandWait wait;
    wait.limit = std::chrono::milliseconds(300);
    wait.whileWaiting = [&] { ++waits; };
    const auto start = std::chrono::steady_clock::now();
    // The child of the shell is ended too: it would otherwise touch the file after 2 s.
    EXPECT_EQ(RunCommand("sleep 2; touch '" + dir.file("late") + "'", 0, wait), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_GT(waits, 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(2200));
    EXPECT_FALSE(fs::exists(dir.file("late")));
}

// A phone laid out as Android 6 or Android 10 keeps its providers' databases, which the fake adb
// copies out by running the phone script over it.
class Phone : public ::testing::TestWithParam<fx::PhoneLayout> {
  protected:
    void SetUp() override {
        expected_ = fx::buildPhone(phone_.path().string(), GetParam());
        appDir_ = program_.path().string() + "/Phone Kit/";  // a program folder with a blank
        fs::create_directory(appDir_);
    }
    bool modern() const { return GetParam() == fx::PhoneLayout::Android10; }
    bool samsung() const { return GetParam() == fx::PhoneLayout::Samsung6; }
    std::string copy(const char* name) const { return pulledCopyPath(appDir_, name); }
    bool acquire(RunPlan& run, PerCategory<bool> ticked) {
        auto copies = acquireFromPhone(appDir_, [](const std::string& c) { return RunCommand(c); });
        if (copies) run = phoneRun(ticked, std::move(*copies));
        return copies.has_value();
    }
    // The run, after the acquisition: each queued category scanned in turn.
    void scanQueue(RunPlan& run) {
        for (std::size_t at = 0; at < run.ScanQueue.size(); ++at) {
            const CategoryCode code = run.ScanQueue[at];
            testing::RecordingHost host;
            WindowWords words(host);
            ResultStore store;
            ScanState state;
            ASSERT_EQ(runQueuedScan(run, at, words, store, state), ScanOutcome::Completed);
            std::size_t normal = 0;
            for (std::uint32_t i = 0; i < static_cast<std::uint32_t>(store.count(code)); ++i)
                normal += store.stateAt(code, i) == RecordState::Normal;
            scanned.push_back({code, normal});
        }
    }
    std::size_t expected(CategoryCode code) const {
        return code == CategoryCode::Contacts ? expected_.contacts
               : code == CategoryCode::Sms    ? expected_.sms
                                              : expected_.calls;
    }

    TempDir phone_, program_;
    fx::PhoneFixture expected_;
    std::string appDir_;
    std::vector<std::pair<CategoryCode, std::size_t>> scanned;
};

TEST_P(Phone, CopiesTheDatabasesWithTheirLogsScansThemAndRemovesThem) {
    FakeAdb adb(phone_.path().string(), "ok", FakeAdb::Holds::Root);
    RunPlan run;
    ASSERT_TRUE(acquire(run, {true, true, true}));
    EXPECT_EQ(testing::readText(adb.script()), PhoneScript());
    EXPECT_FALSE(fs::exists(appDir_ + "zk.tmp"));
    EXPECT_EQ(run.ScanQueue, (std::vector<CategoryCode>{CategoryCode::Contacts, CategoryCode::Sms,
                                                        CategoryCode::CallLog}));
    // The call log from calllog.db where the phone keeps it apart; logs pulled with databases.
    EXPECT_EQ(run.SourcePaths, (PerCategory<std::string>{copy("contacts2.db"), copy("mmssms.db"),
                                                         copy(modern()    ? "calllog.db"
                                                              : samsung() ? "logs.db"
                                                                          : "contacts2.db")}));
    EXPECT_EQ(fs::exists(copy("mmssms.db-wal")), modern());
    EXPECT_EQ(fs::exists(copy("calllog.db-wal")), modern());
    EXPECT_EQ(testing::readText(adb.log()).substr(0, 6), "shell\n");

    scanQueue(run);
    ASSERT_EQ(scanned.size(), 3u);
    for (const auto& [code, normal] : scanned)
        EXPECT_EQ(normal, expected(code)) << static_cast<int>(code);
    for (const std::string& name : pulledFileNames())
        EXPECT_FALSE(fs::exists(copy(name.c_str()))) << name;
}

TEST_P(Phone, KeepsACopyThatNoScanOfTheRunReads) {
    FakeAdb adb(phone_.path().string(), "ok", FakeAdb::Holds::Root);
    RunPlan run;
    ASSERT_TRUE(
        acquire(run, {false, true, false}));  // only SMS: contacts2.db is pulled all the same
    scanQueue(run);
    EXPECT_TRUE(fs::exists(copy("contacts2.db")));
    EXPECT_FALSE(fs::exists(copy("mmssms.db")));
    EXPECT_FALSE(fs::exists(copy("mmssms.db-wal")));
}

TEST_P(Phone, RemovesTheContactsCopyAfterItsLastReader) {
    FakeAdb adb(phone_.path().string(), "ok", FakeAdb::Holds::Root);
    for (const auto& ticks :
         {PerCategory<bool>{true, false, true}, PerCategory<bool>{true, false, false}}) {
        RunPlan run;
        ASSERT_TRUE(acquire(run, ticks));
        scanQueue(run);
        EXPECT_FALSE(fs::exists(copy("contacts2.db")));
    }
}

// A copy an earlier run left must not pass for this phone's: a failed pull is a failure.
TEST_P(Phone, FailsWhenACopyIsMissingWhateverAnEarlierRunLeft) {
    fs::create_directories(appDir_ + "Temp");
    for (const char* name : {"contacts2.db", "mmssms.db"})
        testing::writeBytes(copy(name), {1, 2, 3});
    for (const char* mode : {"fail", "nofile"}) {
        FakeAdb adb(phone_.path().string(), mode, FakeAdb::Holds::Root);
        RunPlan run;
        EXPECT_FALSE(acquire(run, {true, true, true})) << mode;
        EXPECT_FALSE(fs::exists(copy("mmssms.db"))) << mode;
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, Phone,
                         ::testing::Values(fx::PhoneLayout::Android6, fx::PhoneLayout::Android10,
                                           fx::PhoneLayout::Samsung6),
                         [](const auto& info) {
                             return info.param == fx::PhoneLayout::Android6    ? "android6"
                                    : info.param == fx::PhoneLayout::Android10 ? "android10"
                                                                               : "samsung6";
                         });

}  // namespace
}  // namespace pc
