#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "RunCommand.h"
#include "contacts_fixture.h"
#include "fake_adb.h"
#include "phone_acquisition.h"
#include "phone_commands.h"
#include "recording_host.h"
#include "scanner_for.h"
#include "sms_fixture.h"

namespace pc {
namespace {

namespace fs = std::filesystem;
namespace fx = fixtures;
using testing::FakeAdb;
using testing::TempDir;

TEST(PhoneScript, IsTheEightLinesWithTheirCrLfAndTrailingBlanks) {
    EXPECT_EQ(PhoneScript(),
              "su \r\n"
              "mkdir /dev/zktemp\r\n"
              "cat /data/data/com.android.providers.telephony/databases/mmssms.db > "
              "/dev/zktemp/mmssms.db\r\n"
              "cat /data/data/com.android.providers.contacts/databases/contacts2.db > "
              "/dev/zktemp/contacts2.db\r\n"
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
    EXPECT_EQ(w.makeTemp, "cmd.exe /c md temp");
    EXPECT_EQ(w.feedScript, "cmd.exe /c adb shell < D:\\\"Tools\"\\\"Phone Kit\"\\zk.tmp");
    EXPECT_EQ(w.pullContacts,
              "cmd.exe /c adb pull /dev/zktemp/contacts2.db \"D:\\Tools\\Phone "
              "Kit\\Temp\\contacts2.db\"");
    EXPECT_EQ(
        w.pullSms,
        "cmd.exe /c adb pull /dev/zktemp/mmssms.db \"D:\\Tools\\Phone Kit\\Temp\\mmssms.db\"");

    const PhoneCommands p = posix::phoneCommands("/opt/Phone Kit/it's/");
    EXPECT_EQ(p.makeTemp, "mkdir -p temp");
    EXPECT_EQ(p.feedScript, "adb shell < '/opt/Phone Kit/it'\\''s/zk.tmp'");
    EXPECT_EQ(p.pullSms, "adb pull /dev/zktemp/mmssms.db '/opt/Phone Kit/it'\\''s/Temp/mmssms.db'");
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

// A phone with both databases, in a folder the fake adb hands them out from.
class Phone : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directory(phone_.file("files"));
        fx::SmsDbOptions sms;
        sms.messages = 40;
        fx::buildSmsDatabase(phone_.file("files/mmssms.db"), sms);
        fx::ContactsDbOptions contacts;
        contacts.contacts = 20;
        fx::buildContactsDatabase(phone_.file("files/contacts2.db"), contacts);
        fx::CallsDbOptions calls;
        calls.currentLayout = false;
        calls.calls = 20;
        fx::buildCallsDatabase(phone_.file("files/contacts2.db"), calls, true);
        appDir_ = program_.path().string() + "/Phone Kit/";  // a program folder with a blank
        fs::create_directory(appDir_);
    }
    std::string files() const { return phone_.file("files"); }
    std::string copy(const char* name) const { return pulledCopyPath(appDir_, name); }
    bool acquire(RunGlobals& run, std::array<bool, 3> ticked) {
        return acquireFromPhone(run, ticked, appDir_,
                                [](const std::string& c) { return RunCommand(c); });
    }
    // The run of the dialog, after the acquisition: each queued category scanned in turn.
    void scanQueue(RunGlobals& run) {
        run.source = ScanSource::Phone;
        ResultStore store;
        ScanState state;
        testing::RecordingHost host;
        for (CategoryCode code : run.ScanQueue) {
            selectCategory(run, code);
            scannerFor(code)->run(host, store, state, run);
            scanned.push_back({code, store.count(code)});
        }
    }

    TempDir phone_, program_;
    std::string appDir_;
    std::vector<std::pair<CategoryCode, std::int32_t>> scanned;
};

TEST_F(Phone, CopiesBothDatabasesAndScansAndRemovesThem) {
    FakeAdb adb(files());
    RunGlobals run;
    ASSERT_TRUE(acquire(run, {true, true, true}));
    EXPECT_EQ(testing::readText(adb.script()), PhoneScript());
    EXPECT_FALSE(fs::exists(appDir_ + "zk.tmp"));
    EXPECT_EQ(run.ScanQueue, (std::vector<CategoryCode>{CategoryCode::Contacts, CategoryCode::Sms,
                                                        CategoryCode::CallLog}));
    EXPECT_EQ(run.SourcePaths,
              (std::array<std::string, 2>{copy("contacts2.db"), copy("mmssms.db")}));
    EXPECT_EQ(run.CurrentDbPath, copy("contacts2.db"));
    EXPECT_EQ(testing::readText(adb.log()),
              "shell\npull /dev/zktemp/contacts2.db " + copy("contacts2.db") +
                  "\npull /dev/zktemp/mmssms.db " + copy("mmssms.db") + "\n");

    scanQueue(run);
    ASSERT_EQ(scanned.size(), 3u);
    for (const auto& [code, found] : scanned)
        EXPECT_GT(found, 0) << static_cast<int>(code);
    EXPECT_FALSE(fs::exists(copy("contacts2.db")));
    EXPECT_FALSE(fs::exists(copy("mmssms.db")));
}

TEST_F(Phone, KeepsACopyThatNoScanOfTheRunReads) {
    FakeAdb adb(files());
    RunGlobals run;
    ASSERT_TRUE(
        acquire(run, {false, true, false}));  // only SMS: contacts2.db is pulled all the same
    EXPECT_TRUE(fs::exists(copy("contacts2.db")));
    scanQueue(run);
    EXPECT_TRUE(fs::exists(copy("contacts2.db")));
    EXPECT_FALSE(fs::exists(copy("mmssms.db")));
}

TEST_F(Phone, RemovesTheContactsCopyAfterItsLastReader) {
    FakeAdb adb(files());
    for (const auto& ticks :
         {std::array<bool, 3>{true, false, true}, std::array<bool, 3>{true, false, false}}) {
        RunGlobals run;
        ASSERT_TRUE(acquire(run, ticks));
        scanQueue(run);
        EXPECT_FALSE(fs::exists(copy("contacts2.db")));
    }
}

TEST_F(Phone, FailsWhenACopyIsMissingUnlessAnEarlierRunLeftIt) {
    for (const char* mode : {"fail", "nofile"}) {
        FakeAdb adb(files(), mode);
        RunGlobals run;
        EXPECT_FALSE(acquire(run, {true, true, true})) << mode;
    }
    fs::create_directories(appDir_ + "Temp");
    fs::copy_file(files() + "/contacts2.db", copy("contacts2.db"));
    fs::copy_file(files() + "/mmssms.db", copy("mmssms.db"));
    FakeAdb adb(files(), "fail");
    RunGlobals run;
    EXPECT_TRUE(acquire(run, {true, true, true}));
}

}  // namespace
}  // namespace pc
