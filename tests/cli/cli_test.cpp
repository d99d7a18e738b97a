#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "contacts_fixture.h"
#include "record_bytes.h"
#include "scan_runner.h"
#include "sms_fixture.h"
#include "sms_scanner.h"
#include "sqlite_db.h"
#include "temp_dir.h"
#include "text_codec.h"
#include "text_export.h"

namespace pc {
namespace {

namespace fx = fixtures;
using testing::TempDir;

struct Result {
    int status;
    std::string out;
    std::string err;
};

std::string quote(const std::string& s) {
    return "'" + s + "'";
}

// Runs the program with standard output to `out` (a file of the folder by default), ended after
// a minute should it hang (status 124 then).
Result phonecarve(const TempDir& dir, const std::string& args, std::string out = {}) {
    const bool own = out.empty();
    if (own) out = dir.file("stdout");
    const std::string err = dir.file("stderr");
    const std::string cmd =
        "timeout 60 " + quote(PHONECARVE_BIN) + " " + args + " >" + quote(out) + " 2>" + quote(err);
    const int raw = std::system(cmd.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, own ? testing::readText(out) : "",
            testing::readText(err)};
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

class Cli : public ::testing::Test {
  protected:
    void SetUp() override {
        fx::SmsDbOptions o;
        o.messages = 120;
        o.seed = 7;
        fx::buildSmsDatabase(sms(), o);
        testing::runScan(expected_, scanner_, CategoryCode::Sms, sms());
    }
    std::string sms() const { return dir_.file("mmssms.db"); }
    std::string found() const { return std::to_string(expected_.store.count(CategoryCode::Sms)); }

    TempDir dir_;
    testing::ScanRun expected_;
    SmsScanner scanner_;
};

TEST_F(Cli, StreamsJsonLinesOfEveryRowAndTheTotalsOnStandardError) {
    const Result r = phonecarve(dir_, "scan --sms " + quote(sms()) + " --format jsonl");
    EXPECT_EQ(r.status, 0);
    const auto rows = lines(r.out);
    ASSERT_EQ(rows.size(), expected_.store.SmsRecords().size());
    const PSMSvalue& first = expected_.store.SmsRecords()[0];
    EXPECT_EQ(rows[0].rfind(
                  std::string("{\"category\":\"sms\",\"state\":\"") +
                      (first.state == RecordState::Deleted ? "deleted" : "normal") +
                      "\",\"source\":\"main\",\"offset\":" + std::to_string(first.found.offset) +
                      ",\"address\":\"" + std::string(first.address) + "\",\"date\":\"" +
                      std::string(first.date) + "\",\"type\":\"" + std::string(first.type) +
                      "\",\"body\":\"",
                  0),
              0u)
        << rows[0];
    for (const auto& row : rows)
        EXPECT_EQ(row.back(), '}');  // line breaks in bodies are escaped
    EXPECT_NE(r.err.find(expected_.host.logRows.back()), std::string::npos) << r.err;
}

// With both streams sent to one file, as a log is kept, the totals come after the last row and
// no row is cut by them.
TEST_F(Cli, SaysTheTotalsAfterTheLastRowWhenBothStreamsGoToOneFile) {
    const std::string both = dir_.file("both");
    const std::string cmd = quote(PHONECARVE_BIN) + " scan --sms " + quote(sms()) +
                            " --format jsonl >" + quote(both) + " 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const std::vector<std::string> all = lines(testing::readText(both));
    ASSERT_EQ(all.size(), expected_.store.count(CategoryCode::Sms) + 2u);
    EXPECT_NE(all.front().find("扫描..."), std::string::npos);
    EXPECT_NE(all.back().find("扫描完成"), std::string::npos);
    for (std::size_t i = 1; i + 1 < all.size(); ++i)
        EXPECT_TRUE(all[i].starts_with("{\"category\"") && all[i].ends_with("}")) << all[i];
}

TEST_F(Cli, WritesTheSameFileAsTheRecoverCommand) {
    struct Folder : FolderChooser {
        std::string path;
        std::optional<std::string> chooseSaveFolder(const std::string&,
                                                    const std::string&) override {
            return path;
        }
    } folder;
    folder.path = dir_.file("window");
    std::filesystem::create_directory(folder.path);
    exportResults({{CategoryCode::Sms}, OutputFormat::Tsv, TextEncoding::Gb18030, nullptr},
                  expected_.store, folder);

    const Result r =
        phonecarve(dir_, "scan --sms " + quote(sms()) + " --out " + quote(dir_.file("cli")));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out.empty());
    EXPECT_EQ(testing::readBytes(dir_.file("cli/短信.txt")),
              testing::readBytes(dir_.file("window/短信.txt")));

    const Result utf8 = phonecarve(
        dir_, "scan --sms " + quote(sms()) + " --encoding utf-8 --out " + quote(dir_.file("utf8")));
    EXPECT_EQ(testing::readText(dir_.file("utf8/短信.txt")),
              gb18030ToUtf8(testing::readText(dir_.file("window/短信.txt"))));
}

// Rows are written on a thread of their own: a file the system stops taking part way, in the
// first chunks or at the end, is said once, fails the command and leaves the older file whole.
TEST(CliFileError, SaysAFileThatCannotBeWrittenOnceAndKeepsTheOlderFile) {
    TempDir dir;
    fx::SmsDbOptions o;
    o.messages = 3000;
    o.bodyBytes = 300;
    o.wordIndex = false;
    fx::buildSmsDatabase(dir.file("mmssms.db"), o);
    std::filesystem::create_directory(dir.file("out"));
    ASSERT_EQ(phonecarve(dir, "scan --sms " + quote(dir.file("mmssms.db")) + " --out " +
                                  quote(dir.file("whole")))
                  .status,
              0);
    const auto whole = std::filesystem::file_size(dir.file("whole/短信.txt"));
    ASSERT_GT(whole, 600u << 10);  // more than the chunks the thread writes before the end
    const std::string older = "an older export\r\n";
    // The limit in blocks of 512 bytes: the first chunk fails, or the last one.
    for (const std::string& limitBlocks : {std::string("64"), std::to_string(whole / 512 - 1)}) {
        testing::writeBytes(dir.file("out/短信.txt"), {older.begin(), older.end()});
        const std::string script =
            "trap '' XFSZ\nulimit -f " + limitBlocks + "\nexec " + quote(PHONECARVE_BIN) +
            " scan --sms " + quote(dir.file("mmssms.db")) + " --out " + quote(dir.file("out")) +
            " 2>" + quote(dir.file("stderr")) + "\n";
        testing::writeBytes(dir.file("limited.sh"), {script.begin(), script.end()});
        const int raw = std::system(("sh " + quote(dir.file("limited.sh"))).c_str());
        const std::string err = testing::readText(dir.file("stderr"));
        EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 2) << limitBlocks << ": " << err;
        const auto said = [&](std::string_view text) {
            std::size_t n = 0;
            for (std::size_t at = err.find(text); at != std::string::npos;
                 at = err.find(text, at + 1))
                ++n;
            return n;
        };
        EXPECT_EQ(said("Stream write error"), 1u) << limitBlocks << ": " << err;
        EXPECT_EQ(said("out/短信.txt"), 1u) << err;  // the message names the file
        EXPECT_EQ(said("扫描完成"), 0u) << err;      // no totals claim rows not written
        EXPECT_EQ(said("已保存"), 0u) << err;
        EXPECT_EQ(testing::readText(dir.file("out/短信.txt")), older);
        EXPECT_FALSE(std::filesystem::exists(dir.file("out/短信.txt.partial")));
    }
}

TEST_F(Cli, WritesCsvWithAHeaderAndQuotedFields) {
    const Result r = phonecarve(dir_, "scan --sms " + quote(sms()) + " --format csv --out " +
                                          quote(dir_.file("csv")) + " --quiet");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    const std::string csv = testing::readText(dir_.file("csv/短信.csv"));
    EXPECT_EQ(csv.rfind("address,date,type,state,body,source,offset\r\n", 0), 0u);
    for (const PSMSvalue& m : expected_.store.SmsRecords()) {
        if (m.body.find_first_of(",\n\"") == std::string::npos) continue;
        std::string quoted;
        for (char c : m.body)
            quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
        EXPECT_NE(csv.find(",\"" + quoted + "\",main," + std::to_string(m.found.offset) + "\r\n"),
                  std::string::npos)
            << m.body;
    }
}

// For spreadsheet programs: the byte order mark and the list's headings, then the very rows of
// the plain CSV.
TEST_F(Cli, WritesCsvForSpreadsheetsWithAByteOrderMarkAndChineseHeadings) {
    ASSERT_EQ(phonecarve(dir_, "scan --sms " + quote(sms()) + " --format csv --out " +
                                   quote(dir_.file("csv")) + " --quiet")
                  .status,
              0);
    const Result r = phonecarve(dir_, "scan --sms " + quote(sms()) + " --excel --out " +
                                          quote(dir_.file("excel")) + " --quiet");
    EXPECT_EQ(r.status, 0);
    const std::string plain = testing::readText(dir_.file("csv/短信.csv"));
    const std::string excel = testing::readText(dir_.file("excel/短信.csv"));
    const std::string heading = "\xEF\xBB\xBF电话,日期,类型,状态,信息,来源,偏移\r\n";
    ASSERT_EQ(excel.rfind(heading, 0), 0u);
    EXPECT_EQ(excel.substr(heading.size()), plain.substr(plain.find("\r\n") + 2));
    for (const std::string& args :
         {std::string(" --excel --format jsonl"), std::string(" --excel --encoding gbk")})
        EXPECT_EQ(phonecarve(dir_, "scan --sms " + quote(sms()) + args).status, 2) << args;
}

TEST_F(Cli, ExitsWithOneWhenAFileIsNotADatabaseAndTwoForUsageErrors) {
    testing::writeBytes(dir_.file("notes.txt"), std::vector<std::uint8_t>(700, 'n'));
    const Result bad = phonecarve(dir_, "scan --sms " + quote(dir_.file("notes.txt")));
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("无效的数据文件！"), std::string::npos);
    EXPECT_EQ(bad.out, "");

    for (const std::string& args : std::vector<std::string>{
             "scan", "scan --sms /no/such/file.db", "scan --sms x --format xml",
             "scan --sms " + quote(sms()) + " --format jsonl --encoding gbk", "frobnicate"}) {
        EXPECT_EQ(phonecarve(dir_, args).status, 2) << args;
    }
    const Result version = phonecarve(dir_, "--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "phonecarve 4.0\n");
}

TEST_F(Cli, ScansContactsSmsAndCallsInThatOrderWhateverTheOptionOrder) {
    fx::ContactsDbOptions contacts;
    contacts.contacts = 20;
    fx::buildContactsDatabase(dir_.file("contacts2.db"), contacts);
    fx::CallsDbOptions calls;
    calls.calls = 20;
    fx::buildCallsDatabase(dir_.file("calllog.db"), calls);

    const Result r = phonecarve(dir_, "scan --calls " + quote(dir_.file("calllog.db")) + " --sms " +
                                          quote(sms()) + " --contacts " +
                                          quote(dir_.file("contacts2.db")) + " --format jsonl");
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<std::string> order;
    for (const std::string& row : lines(r.out)) {
        const std::string category = row.substr(13, row.find('"', 13) - 13);
        if (order.empty() || order.back() != category) order.push_back(category);
        const std::vector<std::string> keys =
            category == "contacts" ? std::vector<std::string>{"name", "phone"}
            : category == "calls"
                ? std::vector<std::string>{"number", "name", "date", "duration", "type"}
                : std::vector<std::string>{"address", "date", "type", "body"};
        std::size_t at = row.find(",\"offset\":");
        for (const std::string& key : keys) {
            const auto text = row.find(",\"" + key + "\":\"", at);
            at = text != std::string::npos ? text : row.find(",\"" + key + "\":null", at);
            EXPECT_NE(at, std::string::npos) << key << " in " << row;
        }
    }
    EXPECT_EQ(order, (std::vector<std::string>{"contacts", "sms", "calls"}));
    // Each file's log rows name it: when its scan starts and what it found.
    const auto log = lines(r.err);
    ASSERT_EQ(log.size(), 6u) << r.err;
    const std::pair<std::string, const char*> expected[] = {
        {dir_.file("contacts2.db"), "扫描... "},
        {dir_.file("contacts2.db"), "条联系人"},
        {sms(), "扫描... "},
        {sms(), "条短信"},
        {dir_.file("calllog.db"), "扫描... "},
        {dir_.file("calllog.db"), "条通话记录"}};
    for (std::size_t i = 0; i < log.size(); ++i) {
        EXPECT_EQ(log[i].rfind(expected[i].first + ": ", 0), 0u) << log[i];
        EXPECT_NE(log[i].find(expected[i].second), std::string::npos) << log[i];
    }
}

// One message with no address and a body that holds every character a line format must escape;
// its path, and the offset of its record's header-size byte in the file.
std::pair<std::string, std::uint64_t> oddMessage(const TempDir& dir) {
    const std::string path = dir.file("odd.db");
    auto db = fx::createAndroidDb(path, fx::AndroidSchema::mmssms_new, {});
    std::vector<fx::Value> row;
    for (const std::string& c : fx::tableColumns(*db, "sms")) {
        if (c == "_id")
            row.push_back(std::int64_t{1});
        else if (c == "date")
            row.push_back(std::int64_t{1368748800000});  // 2013-05-17 00:00 UTC
        else if (c == "type")
            row.push_back(std::int64_t{1});
        else if (c == "body")
            row.push_back(std::string("tab\there\nnew \"line\"\r\\ 😊"));
        else if (c == "address" || c == "person" || c == "subject" || c == "service_center" ||
                 c == "creator")
            row.push_back(nullptr);
        else
            row.push_back(std::int64_t{0});
    }
    fx::insertRow(*db, "sms", row);
    db.reset();
    const auto file = testing::readBytes(path);
    const auto record = fx::recordBytesFromColumn1(row);
    const auto at = std::search(file.begin(), file.end(), record.begin(), record.end());
    // Before column 1's serial type: column 0's (NULL), before that the one-byte header size.
    return {path, static_cast<std::uint64_t>(at - file.begin()) - 2};
}

TEST_F(Cli, KeepsNullsAndOddCharactersApartInEveryFormat) {
    const auto [file, offset] = oddMessage(dir_);
    const std::string path = quote(file);
    // TAB lines: one per row, TAB, LF, CR and backslash escaped, LF at the end.
    EXPECT_EQ(phonecarve(dir_, "scan --sms " + path).out,
              "NULL\t2013-05-17 08:00:00\t接收\t正常\ttab\\there\\nnew \"line\"\\r\\\\ 😊\n");
    EXPECT_EQ(phonecarve(dir_, "scan --sms " + path + " --format jsonl").out,
              "{\"category\":\"sms\",\"state\":\"normal\",\"source\":\"main\",\"offset\":" +
                  std::to_string(offset) +
                  ",\"address\":null,\"date\":\"2013-05-17 08:00:00\",\"type\":\"接收\","
                  "\"body\":\"tab\\there\\nnew \\\"line\\\"\\r\\\\ 😊\"}\n");
    // CSV: NULL is an empty field; dates at another offset from UTC.
    ASSERT_EQ(phonecarve(dir_, "scan --sms " + path + " --format csv --utc-offset 0 --out " +
                                   quote(dir_.file("csv")))
                  .status,
              0);
    EXPECT_EQ(
        testing::readText(dir_.file("csv/短信.csv")),
        "address,date,type,state,body,source,offset\r\n,2013-05-17,接收,正常,\"tab\there\nnew "
        "\"\"line\"\"\r\\ 😊\",main," +
            std::to_string(offset) + "\r\n");
    // The recover command's files keep the text NULL and the bytes as they are.
    ASSERT_EQ(phonecarve(
                  dir_, "scan --sms " + path + " --encoding utf-8 --out " + quote(dir_.file("tsv")))
                  .status,
              0);
    EXPECT_EQ(testing::readText(dir_.file("tsv/短信.txt")),
              "NULL\t2013-05-17 08:00:00\t接收\t正常\ttab\there\nnew \"line\"\r\\ 😊\r\n");
}

TEST_F(Cli, GoesOnWithTheOtherCategoriesWhenOneFileIsNotADatabase) {
    testing::writeBytes(dir_.file("broken.db"), std::vector<std::uint8_t>(4096, 0xEE));
    const Result r =
        phonecarve(dir_, "scan --contacts " + quote(dir_.file("broken.db")) + " --sms " +
                             quote(sms()) + " --out " + quote(dir_.file("out")));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("broken.db: 无效的数据文件！"), std::string::npos) << r.err;
    EXPECT_TRUE(std::filesystem::exists(dir_.file("out/短信.txt")));
    EXPECT_FALSE(std::filesystem::exists(dir_.file("out/电话本.txt")));
}

// Any SQLite file: every table's rows as JSON lines, only the tables asked for, a table asked
// for that is not there named on standard error with status 1, output files never overwritten.
TEST(CliCarve, WritesTheTablesAskedForAndNeverOverAFile) {
    TempDir dir;
    const std::string db = dir.file("history.db");
    {
        fx::SqliteDb s(db);
        s.exec(
            "PRAGMA secure_delete=0;"
            "CREATE TABLE urls(id INTEGER PRIMARY KEY, url TEXT, visits INT);"
            "CREATE TABLE other(x TEXT);"
            "INSERT INTO urls VALUES(1, 'https://example.org/', 3), (2, 'https://gone.example/', "
            "1);"
            "INSERT INTO other VALUES('not asked for');"
            "DELETE FROM urls WHERE id = 2;");
    }
    const Result all = phonecarve(dir, "carve " + quote(db) + " -q");
    EXPECT_EQ(all.status, 0);
    EXPECT_EQ(lines(all.out),
              (std::vector<std::string>{
                  R"({"table":"urls","state":"normal","source":"main","offset":8165,"rowid":1,)"
                  R"("values":{"id":1,"url":"https://example.org/","visits":3}})",
                  R"({"table":"other","state":"normal","source":"main","offset":12271,"rowid":1,)"
                  R"("values":{"x":"not asked for"}})",
                  R"({"table":"urls","state":"deleted","source":"main","offset":8138,"rowid":null,)"
                  R"("values":{"id":null,"url":"https://gone.example/","visits":1}})"}));

    const std::string out = dir.file("out");
    const Result some =
        phonecarve(dir, "carve " + quote(db) + " --table URLS --table nosuch --format csv --out " +
                            quote(out));
    EXPECT_EQ(some.status, 1);
    EXPECT_NE(some.err.find("no table named \"nosuch\""), std::string::npos) << some.err;
    EXPECT_NE(some.err.find("1 table, 2 rows, 1 deleted"), std::string::npos) << some.err;
    EXPECT_TRUE(std::filesystem::exists(out + "/urls.csv"));
    EXPECT_FALSE(std::filesystem::exists(out + "/other.csv"));

    const std::string recovered = dir.file("recovered.db");
    EXPECT_EQ(
        phonecarve(dir, "carve " + quote(db) + " --format sqlite --out " + quote(recovered)).status,
        0);
    const auto before = testing::readBytes(recovered);
    EXPECT_EQ(
        phonecarve(dir, "carve " + quote(db) + " --format sqlite --out " + quote(recovered)).status,
        1);
    EXPECT_EQ(testing::readBytes(recovered), before);
    EXPECT_EQ(phonecarve(dir, "carve " + quote(dir.file("none.db"))).status, 2);
}

// Standard output that takes nothing more (a full disk): every command says so, naming it, ends
// with status 2, and gives no totals for rows it could not write.
TEST_F(Cli, EndsWithTwoWhenStandardOutputTakesNoMoreRows) {
    for (const std::string& args :
         {"scan --sms " + quote(sms()), "scan --format jsonl --sms " + quote(sms()),
          "carve " + quote(sms())}) {
        const Result r = phonecarve(dir_, args, "/dev/full");
        EXPECT_EQ(r.status, 2) << args << ": " << r.err;
        EXPECT_NE(r.err.find("standard output"), std::string::npos) << args << ": " << r.err;
        EXPECT_EQ(r.err.find("扫描完成"), std::string::npos) << args << ": " << r.err;
        EXPECT_EQ(r.err.find(" rows,"), std::string::npos) << args << ": " << r.err;
    }
}

// A database that is no regular file (a pipe, a folder) is refused before anything reads it: a
// pipe no one writes would block every read.
TEST_F(Cli, RefusesAPipeOrAFolderBeforeReadingIt) {
    const std::string fifo = dir_.file("pipe.db");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_directory(dir_.file("folder.db"));
    for (const std::string& args : {"scan --sms " + quote(fifo), "carve " + quote(fifo)}) {
        const Result r = phonecarve(dir_, args);
        EXPECT_EQ(r.status, 1) << args << ": " << r.err;  // not 124: it ended by itself
        EXPECT_NE(r.err.find("FIFO"), std::string::npos) << r.err;
    }
    // CLI11 refuses a folder as a usage error.
    EXPECT_EQ(phonecarve(dir_, "carve " + quote(dir_.file("folder.db"))).status, 2);
}

// A log beside the database that cannot be read leaves the result partial: an error, said in
// the totals too, and status 1, the rows that could be read written all the same.
TEST_F(Cli, SaysAResultIsPartialWhenASideFileCannotBeRead) {
    std::filesystem::create_directory(sms() + "-wal");  // there, but no file to read
    const Result scan = phonecarve(dir_, "scan --sms " + quote(sms()));
    EXPECT_EQ(scan.status, 1) << scan.err;
    EXPECT_NE(scan.err.find("无法读取 mmssms.db-wal"), std::string::npos) << scan.err;
    EXPECT_NE(scan.err.find("扫描完成,共找到 " + found() + " 条短信"), std::string::npos);
    EXPECT_NE(scan.err.find("(不完整: 无法读取 mmssms.db-wal)"), std::string::npos) << scan.err;
    EXPECT_EQ(lines(scan.out).size(), expected_.store.count(CategoryCode::Sms));

    const Result carve = phonecarve(dir_, "carve " + quote(sms()));
    EXPECT_EQ(carve.status, 1) << carve.err;
    EXPECT_NE(carve.err.find("without mmssms.db-wal, which could not be read"), std::string::npos)
        << carve.err;
}

}  // namespace
}  // namespace pc
