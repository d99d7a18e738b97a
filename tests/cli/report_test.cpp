// `phonecarve report`: what a reader of the report sees, in the files and in a real browser.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "sms_fixture.h"
#include "sqlite_db.h"
#include "temp_dir.h"
#include "text_export.h"

namespace pc {
namespace {

using testing::TempDir;

std::string quote(const std::string& s) {
    return "'" + s + "'";
}

// Standard output of a shell command, and its status.
std::pair<std::string, int> shell(const std::string& command) {
    std::string out;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return {"", -1};
    char buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    const int status = ::pclose(pipe);
    return {out, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

constexpr const char* kHostile =
    "<script>document.body.setAttribute('data-ran','yes')</script> \"quoted\" \xE2\x80\xAE"
    "txet tfel-ot-thgir";
constexpr const char* kDeletedEmoji = "deleted with emoji \xF0\x9F\x98\x8A";

class Report : public ::testing::Test {
  protected:
    void SetUp() override {
        fixtures::SmsDbOptions o;
        o.messages = 60;
        o.seed = 3;
        fixtures::buildSmsDatabase(sms(), o);
        fixtures::SqliteDb db(sms());
        db.exec("PRAGMA secure_delete=OFF");
        db.query(
            "INSERT INTO sms(thread_id, address, date, type, body) VALUES(1, '10086', "
            "1614823200000, 1, ?)",
            {std::string(kHostile)});
        db.query(
            "INSERT INTO sms(thread_id, address, date, type, body) VALUES(1, '10086', "
            "1614823260000, 2, ?)",
            {std::string(kDeletedEmoji)});
        db.query("DELETE FROM sms WHERE body = ?", {std::string(kDeletedEmoji)});
    }
    std::string sms() const { return dir_.file("mmssms.db"); }
    std::string out() const { return dir_.file("report"); }
    std::string read(const std::string& name) const {
        return testing::readText(out() + "/" + name);
    }
    int run() const {
        return shell("timeout 120 " + quote(PHONECARVE_BIN) + " report --sms " + quote(sms()) +
                     " --out " + quote(out()) + " --examiner 'A. Reader' --quiet")
            .second;
    }

    TempDir dir_;
};

TEST_F(Report, WritesPagesAReaderCanCheckWithEveryTextEscaped) {
    const std::string sha = shell("sha256sum " + quote(sms())).first.substr(0, 64);
    ASSERT_EQ(run(), 0);
    const std::string index = read("index.html");
    // The file's SHA-256 before and after, equal, and what the scan found.
    std::size_t at = index.find(sha);
    ASSERT_NE(at, std::string::npos);
    EXPECT_NE(index.find(sha, at + 64), std::string::npos);
    EXPECT_NE(index.find("<td>一致</td>"), std::string::npos);
    EXPECT_EQ(index.find("不一致"), std::string::npos);
    EXPECT_NE(index.find("A. Reader"), std::string::npos);
    EXPECT_NE(index.find("所有时间均为 UTC+8"), std::string::npos);
    EXPECT_NE(index.find("href=\"sms-1.html\""), std::string::npos);

    const std::string rows = read("sms-1.html");
    EXPECT_EQ(rows.find("<script"), std::string::npos);
    EXPECT_NE(rows.find("&lt;script&gt;document.body.setAttribute(&#39;data-ran&#39;,&#39;yes&#39;)"
                        "&lt;/script&gt; &quot;quoted&quot;"),
              std::string::npos);
    // The deleted message with its emoji, marked, and where it was found.
    at = rows.find(kDeletedEmoji);
    ASSERT_NE(at, std::string::npos);
    const std::size_t row = rows.rfind("<tr", at);
    EXPECT_EQ(rows.compare(row, 20, "<tr class=\"deleted\">"), 0);
    EXPECT_NE(rows.find("state-deleted", row), std::string::npos);
    EXPECT_NE(read("conversations-1.html").find(kDeletedEmoji), std::string::npos);
}

// The pages as a browser shows them: the hostile text shown as text, nothing in it run, and the
// file's SHA-256 among what the index says.
TEST_F(Report, ABrowserShowsTheTextAndRunsNothingOfIt) {
    if (shell("command -v chromium").second != 0) GTEST_SKIP() << "chromium is not installed";
    ASSERT_EQ(run(), 0);
    auto dom = [&](const std::string& page) {
        return shell(
                   "timeout 60 chromium --headless --no-sandbox --disable-gpu "
                   "--user-data-dir=" +
                   quote(dir_.file("chromium")) + " --dump-dom " +
                   quote("file://" + out() + "/" + page) + " 2>/dev/null")
            .first;
    };
    const std::string rows = dom("sms-1.html");
    ASSERT_NE(rows.find("</html>"), std::string::npos) << rows.substr(0, 500);
    EXPECT_NE(rows.find("&lt;script&gt;document.body.setAttribute('data-ran','yes')"),
              std::string::npos);
    EXPECT_EQ(rows.find("data-ran=\"yes\""), std::string::npos);  // the script did not run
    EXPECT_NE(rows.find(kDeletedEmoji), std::string::npos);
    const std::string sha = shell("sha256sum " + quote(sms())).first.substr(0, 64);
    EXPECT_NE(dom("index.html").find(sha), std::string::npos);
}

// The workbook as another reader (openpyxl) reads it: a sheet per category with the Chinese
// headings, dates as date cells, numbers as text, deleted rows filled.
TEST_F(Report, WritesAWorkbookAnotherReaderReadsBack) {
    if (shell("/usr/bin/python3 -c 'import openpyxl'").second != 0)
        GTEST_SKIP() << "python3-openpyxl is not installed";
    fixtures::SqliteDb(sms()).query("UPDATE sms SET address = '+8613800000000' WHERE body = ?",
                                    {std::string(kHostile)});
    ASSERT_EQ(shell("timeout 120 " + quote(PHONECARVE_BIN) + " scan --sms " + quote(sms()) +
                    " --format xlsx --out " + quote(out()) + " --quiet")
                  .second,
              0);
    const std::string script =
        "import openpyxl, sys\n"
        "wb = openpyxl.load_workbook(sys.argv[1])\n"
        "print('|'.join(wb.sheetnames))\n"
        "ws = wb['短信']\n"
        "print('|'.join(c.value for c in ws[1]))\n"
        "for r in ws.iter_rows(min_row=2):\n"
        "    deleted = r[0].fill.fgColor.rgb == 'FFFDE8E8'\n"
        "    print(r[0].data_type, r[0].value, r[1].is_date, r[3].value, deleted)\n";
    writeWholeFile(dir_.file("read.py"), script);
    const auto [text, status] = shell("/usr/bin/python3 " + quote(dir_.file("read.py")) + " " +
                                      quote(out() + "/PhoneCarve.xlsx"));
    ASSERT_EQ(status, 0) << text;
    std::istringstream lines(text);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "短信");
    std::getline(lines, line);
    EXPECT_EQ(line, "电话|日期|类型|状态|信息|文件|来源|偏移");
    int rows = 0, deleted = 0;
    bool plus = false;
    while (std::getline(lines, line)) {
        ++rows;
        EXPECT_EQ(line.rfind("s ", 0), 0u) << line;                 // the number as text
        EXPECT_NE(line.find(" True "), std::string::npos) << line;  // the date a date
        const bool marked = line.ends_with(" True");
        EXPECT_EQ(marked, line.find(" 删除 ") != std::string::npos) << line;
        deleted += marked;
        plus |= line.rfind("s +8613800000000 ", 0) == 0;
    }
    const std::string listed =
        shell(quote(PHONECARVE_BIN) + " scan --sms " + quote(sms()) + " --quiet | wc -l").first;
    EXPECT_EQ(rows, std::stoi(listed));
    EXPECT_GT(deleted, 0);
    EXPECT_TRUE(plus);
}

}  // namespace
}  // namespace pc
