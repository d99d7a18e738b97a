#include <gtest/gtest.h>

#include <filesystem>

#include <sys/resource.h>

#include <csignal>

#include "row_format.h"
#include "temp_dir.h"
#include "text_codec.h"
#include "text_export.h"
#include "without_file_capabilities.h"

namespace pc {
namespace {

using testing::TempDir;
namespace fs = std::filesystem;

class Folder : public FolderChooser {
  public:
    explicit Folder(std::optional<std::string> f) : folder(std::move(f)) {}
    std::optional<std::string> chooseSaveFolder(const std::string& p, const std::string&) override {
        prompt = p;
        return folder;
    }
    std::optional<std::string> folder;
    std::string prompt;
};

ResultStore sample() {
    ResultStore store;
    store.append(PtelValue{"王伟", "13800138000", RecordState::Deleted, {0}, 0});
    store.append(PSMSvalue{"10086",
                           "2013-05-17 08:00:00",
                           "接收",
                           "第一行\r\n第二行\tTAB😊",
                           RecordState::Normal,
                           {0},
                           0});
    store.append(PSMSvalue{"95588", "2013-05-17", "发送", "", RecordState::Deleted, {0}, 0});
    return store;
}

TEST(TextExport, WritesTheExactBytesOfEachQueuedCategory) {
    TempDir dir;
    Folder folder(dir.path().string());
    const ResultStore store = sample();
    const auto report = exportResults({{CategoryCode::Contacts, CategoryCode::Sms},
                                       OutputFormat::Tsv,
                                       TextEncoding::Gb18030,
                                       nullptr},
                                      store, folder);
    EXPECT_EQ(folder.prompt, "请选择保存目录:");
    ASSERT_EQ(report.written.size(), 2u);
    EXPECT_EQ(report.written[0].path, dir.file("电话本.txt"));
    EXPECT_EQ(report.written[0].rows, 1u);
    EXPECT_EQ(report.written[1].path, dir.file("短信.txt"));
    EXPECT_EQ(report.written[1].rows, 2u);

    // GBK bytes of 王伟 and 删除, fields joined by TAB, CR LF after every line, no BOM.
    EXPECT_EQ(testing::readText(dir.file("电话本.txt")),
              "\xCD\xF5\xCE\xB0\t13800138000\t\xC9\xBE\xB3\xFD\r\n");
    EXPECT_EQ(testing::readText(dir.file("短信.txt")),
              utf8ToGb18030("10086\t2013-05-17 08:00:00\t接收\t正常\t第一行\r\n第二行\tTAB😊\r\n"
                            "95588\t2013-05-17\t发送\t删除\t\r\n"));
    EXPECT_EQ(gb18030ToUtf8(testing::readText(dir.file("短信.txt"))).find("😊") != std::string::npos,
              true);
    EXPECT_FALSE(fs::exists(dir.file("通话记录.txt")));
}

TEST(TextExport, SkipsEmptyAndUnqueuedCategoriesAndKeepsOlderFiles) {
    TempDir dir;
    testing::writeBytes(dir.file("通话记录.txt"), {'o', 'l', 'd'});
    testing::writeBytes(dir.file("短信.txt"), {'o', 'l', 'd'});
    Folder folder(dir.path().string() + "/");
    const ResultStore store = sample();
    const auto report = exportResults({{CategoryCode::Sms, CategoryCode::CallLog},
                                       OutputFormat::Tsv,
                                       TextEncoding::Utf8,
                                       nullptr},
                                      store, folder);
    ASSERT_EQ(report.written.size(), 1u);
    EXPECT_EQ(report.written[0].path, dir.file("短信.txt"));        // one separator
    EXPECT_EQ(testing::readText(dir.file("通话记录.txt")), "old");  // empty category: untouched
    EXPECT_NE(testing::readText(dir.file("短信.txt")), "old");      // replaced
    EXPECT_FALSE(fs::exists(dir.file("电话本.txt")));               // contacts were not queued
}

TEST(TextExport, DoesNothingWhenTheChoiceIsCancelledOrTheQueueEmpty) {
    TempDir dir;
    Folder cancel(std::nullopt);
    EXPECT_TRUE(
        exportResults({{CategoryCode::Sms}, OutputFormat::Tsv, TextEncoding::Gb18030, nullptr},
                      sample(), cancel)
            .cancelled);
    Folder folder(dir.path().string());
    const auto report =
        exportResults({{}, OutputFormat::Tsv, TextEncoding::Gb18030, nullptr}, sample(), folder);
    EXPECT_FALSE(report.cancelled);
    EXPECT_TRUE(report.written.empty());
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(TextExport, StopsAtTheFirstFileThatFailsAndKeepsTheEarlierOnes) {
    TempDir dir;
    fs::create_directory(dir.file("短信.txt"));  // a folder where the file should go
    Folder folder(dir.path().string());
    const ResultStore store = sample();
    try {
        exportResults({{CategoryCode::Contacts, CategoryCode::Sms},
                       OutputFormat::Tsv,
                       TextEncoding::Gb18030,
                       nullptr},
                      store, folder);
        FAIL();
    } catch (const ExportError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot create file \"" + dir.file("短信.txt") + "\". Is a directory");
    }
    EXPECT_TRUE(fs::is_regular_file(dir.file("电话本.txt")));
    for (const auto& e : fs::directory_iterator(dir.path()))
        EXPECT_EQ(e.path().string().find(".partial"), std::string::npos) << e.path();
}

TEST(TextExport, NamesTheFileAndTheReasonWhenAFolderIsReadOnly) {
    TempDir dir;
    Folder folder(dir.path().string());
    fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
    testing::WithoutFileCapabilities asAnyUser;
    try {
        exportResults({{CategoryCode::Sms}, OutputFormat::Tsv, TextEncoding::Gb18030, nullptr},
                      sample(), folder);
        FAIL();
    } catch (const ExportError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot create file \"" + dir.file("短信.txt") + "\". Permission denied");
    }
}

TEST(TextExport, ReportsAWriteThatFailsPartWayAndKeepsTheOlderFile) {
    TempDir dir;
    Folder folder(dir.path().string());
    ResultStore store;
    store.append(PtelValue{"a", "1", RecordState::Normal, {0}, 0});
    for (int i = 0; i < 2000; ++i)
        store.append(PSMSvalue{
            "10086", "2013-05-17", "接收", std::string(100, 'x'), RecordState::Normal, {0}, 0});
    testing::writeBytes(dir.file("短信.txt"), {'o', 'l', 'd'});

    // A disk that fills up: files may not grow past 4 KB while the export writes.
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ::setrlimit(RLIMIT_FSIZE, &small);
    std::string error;
    try {
        exportResults({{CategoryCode::Contacts, CategoryCode::Sms},
                       OutputFormat::Tsv,
                       TextEncoding::Gb18030,
                       nullptr},
                      store, folder);
    } catch (const ExportError& e) {
        error = e.what();
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);

    EXPECT_EQ(error, "Stream write error");
    EXPECT_EQ(testing::readText(dir.file("电话本.txt")),
              "a\t1\t\xD5\xFD\xB3\xA3\r\n");                    // written before
    EXPECT_EQ(testing::readText(dir.file("短信.txt")), "old");  // nothing lost
    for (const auto& e : fs::directory_iterator(dir.path()))
        EXPECT_EQ(e.path().string().find(".partial"), std::string::npos) << e.path();
}

}  // namespace
}  // namespace pc

namespace pc {
namespace {

// Fields are escaped eight bytes at a time where a word needs nothing: each byte that needs it
// is escaped wherever it falls in a field, between plain and Chinese text, in every format.
struct Escape {
    const char* name;
    char byte;
    const char* json;  // as JSON writes it
    const char* tsv;   // as the TAB rows write it
    bool csvQuoted;    // whether CSV puts the field in quotes
};

class FieldEscape : public ::testing::TestWithParam<Escape> {};

TEST_P(FieldEscape, EscapesTheByteAtEveryPlaceOfALongField) {
    const Escape& e = GetParam();
    const std::string filler = "abcdefgh中文字符ijklmnop";
    for (std::size_t at = 0; at <= filler.size(); ++at) {
        const std::string before = filler.substr(0, at), after = filler.substr(at);
        const std::string field = before + e.byte + after;

        std::string json;
        appendJsonString(json, field);
        EXPECT_EQ(json, "\"" + before + e.json + after + "\"") << "at " << at;

        std::string csv;
        appendCsvField(csv, field);
        const std::string csvByte = e.byte == '"' ? "\"\"" : std::string(1, e.byte);
        EXPECT_EQ(csv, e.csvQuoted ? "\"" + before + csvByte + after + "\"" : field) << "at " << at;

        ResultStore store;
        store.append(PSMSvalue{"1", "2", "3", field, RecordState::Normal, {0}, 0});
        const std::string tsv = formatRow(OutputFormat::Tsv, store, CategoryCode::Sms, 0);
        EXPECT_NE(tsv.find("\t" + before + e.tsv + after + "\n"), std::string::npos)
            << "at " << at << ": " << tsv;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, FieldEscape,
    ::testing::Values(Escape{"quote", '"', "\\\"", "\"", true},
                      Escape{"backslash", '\\', "\\\\", "\\\\", false},
                      Escape{"tab", '\t', "\\t", "\\t", false},
                      Escape{"line_feed", '\n', "\\n", "\\n", true},
                      Escape{"carriage_return", '\r', "\\r", "\\r", true},
                      Escape{"unit_separator", '\x1f', "\\u001f", "\x1f", false},
                      Escape{"comma", ',', ",", ",", true}, Escape{"space", ' ', " ", " ", false},
                      Escape{"delete", '\x7f', "\x7f", "\x7f", false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pc
