// The command line's phone options, through a fake adb over a phone laid out as Android 6 or 10.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "fake_adb.h"
#include "phone_commands.h"
#include "phone_fixture.h"
#include "temp_dir.h"

namespace pc {
namespace {

namespace fs = std::filesystem;
namespace fx = fixtures;
using testing::FakeAdb;
using testing::TempDir;

struct Result {
    int status;
    std::string out;
    std::string err;
};

// The program copied into a folder of its own: its Temp folder, where the phone's copies go,
// is then this test's alone.
class CliPhone : public ::testing::TestWithParam<fx::PhoneLayout> {
  protected:
    void SetUp() override {
        expected_ = fx::buildPhone(phone_.path().string(), GetParam());
        fs::copy_file(PHONECARVE_BIN, program_.file("phonecarve"));
    }
    Result run(const std::string& args) {
        const std::string out = program_.file("stdout"), err = program_.file("stderr");
        const std::string cmd =
            "'" + program_.file("phonecarve") + "' " + args + " >'" + out + "' 2>'" + err + "'";
        const int raw = std::system(cmd.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, testing::readText(out),
                testing::readText(err)};
    }
    // How many rows of each category the JSON lines list normal, in the order they came.
    static std::vector<std::pair<std::string, std::size_t>> normalRows(const std::string& out) {
        std::vector<std::pair<std::string, std::size_t>> counts;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);) {
            const std::string category = line.substr(13, line.find('"', 13) - 13);
            if (counts.empty() || counts.back().first != category) counts.push_back({category, 0});
            counts.back().second += line.find("\"state\":\"normal\"") != std::string::npos;
        }
        return counts;
    }
    bool anyCopyLeft() const {
        for (const std::string& name : pulledFileNames())
            if (fs::exists(program_.file("Temp/" + name))) return true;
        return false;
    }

    TempDir phone_, program_;
    fx::PhoneFixture expected_;
};

TEST_P(CliPhone, ScansEveryCategoryOfThePhoneAndRemovesTheCopies) {
    FakeAdb adb(phone_.path().string(), "ok", FakeAdb::Holds::Root);
    const Result r = run("scan --phone --format jsonl");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(
        normalRows(r.out),
        (std::vector<std::pair<std::string, std::size_t>>{
            {"contacts", expected_.contacts}, {"sms", expected_.sms}, {"calls", expected_.calls}}));
    if (GetParam() == fx::PhoneLayout::Android10) {
        EXPECT_NE(r.err.find("Temp/calllog.db: 读取日志文件 calllog.db-wal"), std::string::npos)
            << r.err;
    }
    EXPECT_FALSE(anyCopyLeft());
}

TEST_P(CliPhone, ScansTheCategoriesAskedFor) {
    FakeAdb adb(phone_.path().string(), "ok", FakeAdb::Holds::Root);
    const Result r = run("scan --phone --categories calls,sms --format jsonl");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(normalRows(r.out), (std::vector<std::pair<std::string, std::size_t>>{
                                     {"sms", expected_.sms}, {"calls", expected_.calls}}));
    // contacts2.db is pulled all the same; on an Android 6 phone the call log read it.
    EXPECT_EQ(fs::exists(program_.file("Temp/contacts2.db")),
              GetParam() != fx::PhoneLayout::Android6);
}

// The apps' stores where the phone has them: pulled, scanned, and gone with their side files and
// WhatsApp's names after the run; a store the phone lacks (MMS tables here) is named, no error.
TEST(CliPhoneApps, ScansGoogleMessagesAndWhatsAppAndRemovesTheirCopies) {
    TempDir phone, program;
    const fx::PhoneFixture expected =
        fx::buildPhone(phone.path().string(), fx::PhoneLayout::Android10, true);
    fs::copy_file(PHONECARVE_BIN, program.file("phonecarve"));
    FakeAdb adb(phone.path().string(), "ok", FakeAdb::Holds::Root);
    const std::string cmd = "'" + program.file("phonecarve") + "' scan --phone --format jsonl >'" +
                            program.file("out") + "' 2>'" + program.file("err") + "'";
    const int raw = std::system(cmd.c_str());
    const std::string out = testing::readText(program.file("out")),
                      err = testing::readText(program.file("err"));
    EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 0) << err;
    auto normal = [&](const std::string& category) {
        std::size_t n = 0;
        std::istringstream lines(out);
        for (std::string line; std::getline(lines, line);)
            n += line.starts_with("{\"category\":\"" + category + "\",\"state\":\"normal\"");
        return n;
    };
    EXPECT_EQ(normal("google_messages"), expected.googleMessages);
    EXPECT_EQ(normal("whatsapp"), expected.whatsapp);
    EXPECT_GT(expected.whatsapp, 0u);
    EXPECT_NE(err.find("手机中没有彩信的数据库"), std::string::npos) << err;
    for (const std::string& name : pulledFileNames())
        EXPECT_FALSE(fs::exists(program.file("Temp/" + name))) << name;
}

// A copy of the phone's file system scans as the phone does.
TEST_P(CliPhone, ScansAFolderLikeThePhonesFileSystem) {
    const Result r = run("scan --folder '" + phone_.path().string() + "' --format jsonl");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(
        normalRows(r.out),
        (std::vector<std::pair<std::string, std::size_t>>{
            {"contacts", expected_.contacts}, {"sms", expected_.sms}, {"calls", expected_.calls}}));
}

// The report describes the copies it read: they stay beside it, each with its SHA-256, and
// none is left in the program's Temp folder.
TEST_P(CliPhone, ReportsThePhoneAndKeepsItsCopiesBesideTheReport) {
    FakeAdb adb(phone_.path().string(), "ok", FakeAdb::Holds::Root);
    const std::string out = program_.file("report");
    const Result r = run("report --phone -q --out '" + out + "'");
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string index = testing::readText(out + "/index.html");
    for (const char* name : {"mmssms.db", "contacts2.db"}) {
        const std::string kept = out + "/phone-files/" + name;
        ASSERT_TRUE(fs::exists(kept)) << name;
        EXPECT_NE(index.find(kept), std::string::npos) << name;
    }
    EXPECT_EQ(index.find("不一致"), std::string::npos);
    EXPECT_FALSE(anyCopyLeft());
}

TEST(CliSources, SaysWhatIsWrongWithTheSourcesGiven) {
    TempDir empty;
    const struct {
        std::string args;
        int status;
        const char* said;
    } cases[] = {
        {"scan --format jsonl", 2, "nothing to scan"},
        {"scan --phone --sms '" + empty.file("x") + "'", 2, "--sms"},
        {"report --out '" + empty.file("r") + "'", 2, "nothing to scan"},
        {"report --folder '" + empty.path().string() + "' --phone --out r", 2, "one way"},
        {"scan --folder '" + empty.path().string() + "'", 1, "没有找到"},
        {"report --folder '" + empty.path().string() + "' --out '" + empty.file("r") + "'", 1,
         "没有找到"},
    };
    for (const auto& c : cases) {
        const std::string cmd = "'" + std::string(PHONECARVE_BIN) + "' " + c.args + " 2>'" +
                                empty.file("err") + "' >/dev/null";
        const int raw = std::system(cmd.c_str());
        EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, c.status) << c.args;
        EXPECT_NE(testing::readText(empty.file("err")).find(c.said), std::string::npos)
            << c.args << ": " << testing::readText(empty.file("err"));
    }
    EXPECT_FALSE(fs::exists(empty.file("r")));
}

// Whatever the phone holds: one layout is enough.
class CliPhoneHanging : public CliPhone {};

TEST_P(CliPhoneHanging, SaysThePhoneIsUnreachableAndEndsAdbCommandsPastTheirLimit) {
    FakeAdb adb(phone_.path().string(), "hang", FakeAdb::Holds::Root);
    const auto start = std::chrono::steady_clock::now();
    const Result r = run("scan --phone --adb-timeout 1");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("程序无法访问手机"), std::string::npos) << r.err;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
    EXPECT_EQ(r.out, "");
}

INSTANTIATE_TEST_SUITE_P(Layout, CliPhoneHanging, ::testing::Values(fx::PhoneLayout::Android6));

INSTANTIATE_TEST_SUITE_P(Layouts, CliPhone,
                         ::testing::Values(fx::PhoneLayout::Android6, fx::PhoneLayout::Android10,
                                           fx::PhoneLayout::Samsung6),
                         [](const auto& info) {
                             return info.param == fx::PhoneLayout::Android6    ? "android6"
                                    : info.param == fx::PhoneLayout::Android10 ? "android10"
                                                                               : "samsung6";
                         });

}  // namespace
}  // namespace pc
