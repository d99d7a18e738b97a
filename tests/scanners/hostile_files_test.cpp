// Files other tools choke on: each must give its message or its result, never a crash or a hang.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>

#include "android_db.h"
#include "byte_order.h"
#include "contacts_fixture.h"
#include "scan_runner.h"
#include "scanner_for.h"
#include "sms_fixture.h"
#include "table_recovery.h"
#include "temp_dir.h"

namespace pc {
namespace {

namespace fx = fixtures;
namespace fs = std::filesystem;
using testing::ShownMessage;
using Bytes = std::vector<std::uint8_t>;

const ShownMessage kInvalid{"无效的数据文件！", "提示", MessageIcon::Information};
const ShownMessage kReadError{"Read then device error......", "提示", MessageIcon::Error};
const ShownMessage kNoSms{"没有找短信记录，扫描结束！", "提示", MessageIcon::Information};
const ShownMessage kEmptySms{"没有找到短信记录，扫描结束！", "提示", MessageIcon::Information};

// A small SMS database to damage.
Bytes smsBytes(const std::string& dir, std::uint32_t pageSize = 1024) {
    fx::SmsDbOptions o;
    o.messages = 60;
    o.shape.pageSize = pageSize;
    fx::buildSmsDatabase(dir + "/base.db", o);
    return testing::readBytes(dir + "/base.db");
}

void putBe(Bytes& b, std::size_t at, std::uint64_t v, int width) {
    for (int i = width - 1; i >= 0; --i, v >>= 8)
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v);
}

// The last table-leaf page: a page of rows, not of the schema that SQLite must still read.
std::size_t lastLeaf(const Bytes& b, std::size_t pageSize) {
    std::size_t leaf = 0;
    for (std::size_t at = pageSize; at < b.size(); at += pageSize)
        if (b[at] == 0x0D && (b[at + 3] | b[at + 4]) != 0) leaf = at;
    return leaf;
}

// Pages SQLite itself names: the root of a table, or the pages of a kind (dbstat's "overflow",
// "leaf", "internal") of one.
std::uint32_t rootPage(const std::string& path, const std::string& table) {
    fx::SqliteDb db(path);
    return static_cast<std::uint32_t>(std::get<std::int64_t>(
        db.query("SELECT rootpage FROM sqlite_master WHERE name = ?", {table}).at(0).at(0)));
}
std::vector<std::uint32_t> pagesOf(const std::string& path, const std::string& table,
                                   const std::string& kind) {
    fx::SqliteDb db(path);
    std::vector<std::uint32_t> pages;
    for (const auto& row :
         db.query("SELECT pageno FROM dbstat WHERE name = ? AND pagetype = ?", {table, kind}))
        pages.push_back(static_cast<std::uint32_t>(std::get<std::int64_t>(row[0])));
    return pages;
}

// An SMS database with bodies on overflow pages, to damage.
Bytes longSmsBytes(const std::string& dir) {
    fx::SmsDbOptions o;
    o.messages = 20;
    o.bodyBytes = 2100;
    o.shape.pageSize = 1024;
    o.deleteFraction = 0;
    o.deleteOneThread = false;
    fx::buildSmsDatabase(dir + "/base.db", o);
    return testing::readBytes(dir + "/base.db");
}

std::size_t pageAt(std::uint32_t page) {
    return (page - 1) * std::size_t{1024};
}

// A write-ahead log written here by the file format's rules, checksums in big-endian words.
struct Frame {
    std::uint32_t page;
    std::uint32_t commitSize;
    Bytes bytes;
};
Bytes walOf(std::uint32_t pageSize, const std::vector<Frame>& frames) {
    Bytes wal(32, 0);
    putBe(wal, 0, 0x377F0683, 4);
    putBe(wal, 4, 3007000, 4);
    putBe(wal, 8, pageSize, 4);
    putBe(wal, 16, 0x11111111, 4);
    putBe(wal, 20, 0x22222222, 4);
    std::uint32_t s0 = 0, s1 = 0;
    auto sum = [&](const Bytes& b, std::size_t from, std::size_t n) {
        for (std::size_t i = from; i < from + n; i += 8) {
            s0 += static_cast<std::uint32_t>(readBe32(b, i).value() + s1);
            s1 += static_cast<std::uint32_t>(readBe32(b, i + 4).value() + s0);
        }
    };
    sum(wal, 0, 24);
    putBe(wal, 24, s0, 4);
    putBe(wal, 28, s1, 4);
    for (const Frame& f : frames) {
        const std::size_t at = wal.size();
        wal.resize(at + 24);
        putBe(wal, at, f.page, 4);
        putBe(wal, at + 4, f.commitSize, 4);
        putBe(wal, at + 8, 0x11111111, 4);
        putBe(wal, at + 12, 0x22222222, 4);
        Bytes page = f.bytes;
        page.resize(pageSize);
        wal.insert(wal.end(), page.begin(), page.end());
        sum(wal, at, 8);
        sum(wal, at + 24, pageSize);
        putBe(wal, at + 16, s0, 4);
        putBe(wal, at + 20, s1, 4);
    }
    return wal;
}

// A rollback journal header and records as SQLite writes them (sector 512).
Bytes journalOf(std::uint32_t pageSize, std::uint32_t claimed, std::uint32_t initialSize,
                const std::vector<std::pair<std::uint32_t, Bytes>>& records) {
    Bytes j(512, 0);
    const std::uint8_t magic[8] = {0xD9, 0xD5, 0x05, 0xF9, 0x20, 0xA1, 0x63, 0xD7};
    std::copy(magic, magic + 8, j.begin());
    putBe(j, 8, claimed, 4);
    putBe(j, 12, 7, 4);  // the checksum's nonce
    putBe(j, 16, initialSize, 4);
    putBe(j, 20, 512, 4);
    putBe(j, 24, pageSize, 4);
    for (const auto& [page, bytes] : records) {
        const std::size_t at = j.size();
        j.resize(at + 8 + pageSize);
        putBe(j, at, page, 4);
        std::copy(bytes.begin(), bytes.begin() + pageSize, j.begin() + static_cast<long>(at) + 4);
        std::uint32_t sum = 7;
        for (std::int64_t i = pageSize - 200; i > 0; i -= 200)
            sum += bytes[static_cast<std::size_t>(i)];
        putBe(j, at + 4 + pageSize, sum, 4);
    }
    return j;
}

Bytes pageOf(const Bytes& file, std::uint32_t page) {
    return Bytes(file.begin() + static_cast<long>(pageAt(page)),
                 file.begin() + static_cast<long>(pageAt(page) + 1024));
}

void withSql(const std::string& path, const std::string& sql) {
    fx::SqliteDb db(path);
    db.exec(sql);
}

struct Hostile {
    const char* name;
    CategoryCode category;
    std::function<void(const std::string& dir, const std::string& path)> make;
    ScanOutcome outcome;
    std::vector<ShownMessage> messages;
    int minimumFound;        // rows the scan must still find
    std::string error = {};  // part of the SQLite layer's error, when one is expected
    std::optional<int> exactlyFound = {};
};

class HostileFile : public ::testing::TestWithParam<Hostile> {};

TEST_P(HostileFile, GivesItsMessageOrItsResult) {
    const Hostile& h = GetParam();
    testing::TempDir dir;
    const std::string path = dir.file("hostile.db");
    h.make(dir.path().string(), path);
    testing::ScanRun run;
    auto scanner = scannerFor(h.category);
    testing::runScan(run, *scanner, h.category, path);

    EXPECT_EQ(run.outcome, h.outcome);
    EXPECT_EQ(run.host.messages, h.messages);
    if (h.error.empty()) {
        EXPECT_TRUE(run.host.errors.empty()) << run.host.errors.front();
    } else {
        ASSERT_EQ(run.host.errors.size(), 1u);
        EXPECT_NE(run.host.errors[0].find(h.error), std::string::npos) << run.host.errors[0];
    }
    EXPECT_GE(run.store.count(h.category), h.minimumFound);
    if (h.exactlyFound) {
        EXPECT_EQ(run.store.count(h.category), *h.exactlyFound);
    }
    EXPECT_EQ(run.state.ScanHalted, 1);
}

// The carve of every table meets the same files: it reads them or says they are no database,
// and finds rows of the category's table wherever the scan finds some.
TEST_P(HostileFile, TheCarveOfEveryTableReadsItOrSaysItIsNoDatabase) {
    const Hostile& h = GetParam();
    testing::TempDir dir;
    const std::string path = dir.file("hostile.db");
    h.make(dir.path().string(), path);
    try {
        const Recovery r = recoverTables(path);
        if (h.outcome != ScanOutcome::Completed || h.minimumFound == 0) return;
        const std::string table = profileOf(h.category).signature.table;
        const auto rows = std::count_if(r.rows.begin(), r.rows.end(), [&](const RecoveredRow& row) {
            return r.tables[row.table].name == table;
        });
        EXPECT_GT(rows, 0);
    } catch (const NotADatabase&) {
        EXPECT_EQ(h.outcome, ScanOutcome::EndedEarly);
    }
}

const auto C = ScanOutcome::Completed;
const auto E = ScanOutcome::EndedEarly;
const auto kSms = CategoryCode::Sms;

INSTANTIATE_TEST_SUITE_P(
    Files, HostileFile,
    ::testing::Values(
        Hostile{"empty",
                kSms,
                [](auto&, auto& p) { testing::writeBytes(p, {}); },
                E,
                {kReadError, kInvalid},
                0},
        Hostile{"hundred_bytes",
                kSms,
                [](auto&, auto& p) { testing::writeBytes(p, Bytes(100, 'S')); },
                E,
                {kReadError, kInvalid},
                0},
        Hostile{"text_of_512_bytes",
                kSms,
                [](auto&, auto& p) { testing::writeBytes(p, Bytes(512, 'a')); },
                E,
                {kInvalid},
                0},
        Hostile{"page_size_0",
                kSms,
                [](auto& d, auto& p) {
                    auto b = smsBytes(d);
                    putBe(b, 16, 0, 2);
                    testing::writeBytes(p, b);
                },
                E,
                {kInvalid},
                0},
        Hostile{"page_size_3",
                kSms,
                [](auto& d, auto& p) {
                    auto b = smsBytes(d);
                    putBe(b, 16, 3, 2);
                    testing::writeBytes(p, b);
                },
                E,
                {kInvalid},
                0},
        Hostile{"page_size_65535",
                kSms,
                [](auto& d, auto& p) {
                    auto b = smsBytes(d);
                    putBe(b, 16, 65535, 2);
                    testing::writeBytes(p, b);
                },
                E,
                {kInvalid},
                0},
        // SQLite writes 65536 as 1.
        Hostile{"page_size_1_means_65536",
                kSms,
                [](auto& d, auto& p) { testing::writeBytes(p, smsBytes(d, 65536)); },
                C,
                {},
                40},
        Hostile{"page_count_0",
                kSms,
                [](auto& d, auto& p) {
                    auto b = smsBytes(d);
                    putBe(b, 28, 0, 4);
                    testing::writeBytes(p, b);
                },
                C,
                {},
                40},
        Hostile{"page_count_2_to_the_32_minus_1",
                kSms,
                [](auto& d, auto& p) {
                    auto b = smsBytes(d);
                    putBe(b, 28, 0xFFFFFFFFu, 4);
                    testing::writeBytes(p, b);
                },
                C,
                {},
                40},
        Hostile{"page_count_beyond_the_file",
                kSms,
                [](auto& d, auto& p) {
                    auto b = smsBytes(d);
                    putBe(b, 28, b.size() / 1024 + 5, 4);
                    b.resize(b.size() + 300);
                    testing::writeBytes(p, b);
                },
                C,
                {},
                40},
        Hostile{"cell_count_beyond_the_page",
                kSms,
                [](auto& d, auto& p) {
                    auto b = smsBytes(d);
                    putBe(b, lastLeaf(b, 1024) + 3, 0xFFFF, 2);
                    testing::writeBytes(p, b);
                },
                C,
                {},
                30},
        Hostile{"cell_pointers_past_the_page",
                kSms,
                [](auto& d, auto& p) {
                    auto b = smsBytes(d);
                    const std::size_t leaf = lastLeaf(b, 1024);
                    for (std::size_t i = 0; i < 8; ++i)
                        putBe(b, leaf + 8 + 2 * i, 0xFFF0, 2);
                    testing::writeBytes(p, b);
                },
                C,
                {},
                30},
        // Walks of the structures the file describes end where they loop or leave the file; the
        // rows the rest of the tree reaches are still found.
        Hostile{"btree_child_is_its_own_root",
                kSms,
                [](auto& d, auto& p) {
                    auto b = smsBytes(d);
                    const std::uint32_t root = rootPage(d + "/base.db", "sms");
                    ASSERT_EQ(b[pageAt(root)], 0x05);
                    putBe(b, pageAt(root) + 8, root, 4);
                    testing::writeBytes(p, b);
                },
                C,
                {},
                20},
        Hostile{"btree_child_past_the_file",
                kSms,
                [](auto& d, auto& p) {
                    auto b = smsBytes(d);
                    const std::uint32_t root = rootPage(d + "/base.db", "sms");
                    putBe(b, pageAt(root) + 8, 0x7FFFFFF0, 4);
                    putBe(b, pageAt(root) + 12, 0, 4);  // the first cell's left child: page 0
                    testing::writeBytes(p, b);
                },
                C,
                {},
                10},
        Hostile{"overflow_chains_loop",
                kSms,
                [](auto& d, auto& p) {
                    auto b = longSmsBytes(d);
                    const auto overflow = pagesOf(d + "/base.db", "sms", "overflow");
                    ASSERT_FALSE(overflow.empty());
                    for (std::uint32_t page : overflow)
                        putBe(b, pageAt(page), page, 4);  // each page goes on with itself
                    testing::writeBytes(p, b);
                },
                C,
                {},
                0,
                "",
                20},
        Hostile{"overflow_chains_share_their_pages",
                kSms,
                [](auto& d, auto& p) {
                    auto b = longSmsBytes(d);
                    const auto overflow = pagesOf(d + "/base.db", "sms", "overflow");
                    for (std::uint32_t page : overflow)
                        putBe(b, pageAt(page), overflow.front(), 4);
                    testing::writeBytes(p, b);
                },
                C,
                {},
                0,
                "",
                20},
        Hostile{"free_list_loops_through_a_live_page",
                kSms,
                [](auto& d, auto& p) {
                    auto b = smsBytes(d);
                    const std::uint32_t leaf = pagesOf(d + "/base.db", "sms", "leaf").front();
                    putBe(b, 32, leaf, 4);
                    putBe(b, 36, 5, 4);
                    putBe(b, pageAt(leaf), leaf, 4);
                    testing::writeBytes(p, b);
                },
                C,
                {},
                30},
        Hostile{"nine_byte_varints_at_the_end",
                kSms,
                [](auto& d, auto& p) {
                    auto b = smsBytes(d);
                    b.insert(b.end(), 1024, 0xFF);
                    putBe(b, 28, 0, 4);
                    testing::writeBytes(p, b);
                },
                C,
                {},
                40},
        Hostile{"text_running_past_the_end",
                kSms,
                [](auto& d, auto& p) {
                    auto b = smsBytes(d);
                    Bytes page(1024, 0);
                    // thread_id, address of 200 bytes, person, date, ...: the body would run out.
                    const Bytes head = {0x01, 0x83, 0x1D, 0x00, 0x05, 0x08, 0x00, 0x08, 0x01, 0x01};
                    std::copy(head.begin(), head.end(),
                              page.end() - static_cast<long>(head.size()));
                    b.insert(b.end(), page.begin(), page.end());
                    putBe(b, 28, 0, 4);
                    testing::writeBytes(p, b);
                },
                C,
                {},
                40},
        Hostile{
            "definition_of_2000_columns",
            kSms,
            [](auto&, auto& p) {
                std::string sql =
                    "CREATE TABLE sms (_id INTEGER PRIMARY KEY,type INTEGER,date INTEGER,body TEXT";
                for (int i = 4; i < 2000; ++i)
                    sql += ",c" + std::to_string(i) + " INTEGER";
                withSql(p, sql +
                               "); INSERT INTO sms(_id, type, date, body) VALUES (1, 1, "
                               "1368748800000, 'hi');");
            },
            C,
            {},
            1},
        Hostile{
            "empty_definition",
            kSms,
            [](auto&, auto& p) {
                withSql(
                    p,
                    "CREATE TABLE sms (_id INTEGER PRIMARY KEY, type INTEGER, date INTEGER);"
                    "PRAGMA writable_schema=ON; UPDATE sqlite_master SET sql='' WHERE name='sms';");
            },
            E,
            {kEmptySms},
            0},
        // Every comma counts as a column for the carver, but a live row is read by the table's
        // real columns: the row is found either way.
        Hostile{"commas_in_default_and_check",
                kSms,
                [](auto&, auto& p) {
                    withSql(p,
                            "CREATE TABLE sms (_id INTEGER PRIMARY KEY,address TEXT DEFAULT "
                            "'a,b',date INTEGER,"
                            "type INTEGER CHECK(type IN (1,2,3)),body TEXT);"
                            "INSERT INTO sms VALUES (1, '10086', 1368748800000, 1, 'hi');");
                },
                C,
                {},
                0,
                "",
                1},
        Hostile{"the_same_without_those_commas",
                kSms,
                [](auto&, auto& p) {
                    withSql(p,
                            "CREATE TABLE sms (_id INTEGER PRIMARY KEY,address TEXT DEFAULT "
                            "'a',date INTEGER,type INTEGER CHECK(type > 0),body TEXT);"
                            "INSERT INTO sms VALUES (1, '10086', 1368748800000, 1, 'hi');");
                },
                C,
                {},
                0,
                "",
                1},
        Hostile{"mimetypes_without_mimetype_column",
                CategoryCode::Contacts,
                [](auto&, auto& p) {
                    withSql(p,
                            "CREATE TABLE data (_id INTEGER PRIMARY KEY, mimetype_id INTEGER, "
                            "raw_contact_id INTEGER, data1 TEXT);"
                            "CREATE TABLE mimetypes (_id INTEGER PRIMARY KEY, kind TEXT); INSERT "
                            "INTO mimetypes(kind) VALUES('x');");
                },
                E,
                {},
                0,
                "Field not found in dataset: mimetype"},
        // Logs and journals beside a sound database that are not what they claim: each is read as
        // far as it holds, or passed over with a word in the log; the database's rows stay.
        Hostile{"wal_of_garbage",
                kSms,
                [](auto& d, auto& p) {
                    testing::writeBytes(p, smsBytes(d));
                    testing::writeBytes(p + "-wal", Bytes(5000, 0xAB));
                },
                C,
                {},
                30},
        Hostile{"wal_of_another_page_size",
                kSms,
                [](auto& d, auto& p) {
                    testing::writeBytes(p, smsBytes(d));
                    testing::writeBytes(p + "-wal", walOf(4096, {{2, 3, Bytes(4096, 1)}}));
                },
                C,
                {},
                30},
        Hostile{"wal_frames_past_2_to_the_31_and_a_commit_of_4_billion_pages",
                kSms,
                [](auto& d, auto& p) {
                    const Bytes b = smsBytes(d);
                    testing::writeBytes(p, b);
                    testing::writeBytes(p + "-wal", walOf(1024, {{0x80000001u, 0, pageOf(b, 2)},
                                                                 {0xFFFFFFF0u, 0xFFFFFFFFu,
                                                                  pageOf(b, 2)}}));
                },
                C,
                {},
                30},
        Hostile{"wal_frame_putting_a_loop_into_the_tree",
                kSms,
                [](auto& d, auto& p) {
                    const Bytes b = smsBytes(d);
                    testing::writeBytes(p, b);
                    const std::uint32_t root = rootPage(d + "/base.db", "sms");
                    Bytes looped = pageOf(b, root);
                    putBe(looped, 8, root, 4);
                    testing::writeBytes(p + "-wal",
                                        walOf(1024, {{root, static_cast<std::uint32_t>(
                                                                b.size() / 1024),
                                                      looped}}));
                },
                C,
                {},
                20},
        Hostile{"journal_claiming_more_records_than_it_holds",
                kSms,
                [](auto& d, auto& p) {
                    const Bytes b = smsBytes(d);
                    testing::writeBytes(p, b);
                    testing::writeBytes(p + "-journal",
                                        journalOf(1024, 0x7FFFFFFF, 0xFFFFFFFF,
                                                  {{2, pageOf(b, 2)}, {3, pageOf(b, 3)}}));
                },
                C,
                {},
                30},
        Hostile{"journal_of_another_page_size",
                kSms,
                [](auto& d, auto& p) {
                    const Bytes b = smsBytes(d);
                    testing::writeBytes(p, b);
                    Bytes page = pageOf(b, 2);
                    page.resize(4096);
                    testing::writeBytes(p + "-journal", journalOf(4096, 1, 3, {{2, page}}));
                },
                C,
                {},
                30},
        // The schema and every row only in the log: the newest state has them all.
        Hostile{"schema_only_in_the_wal_file",
                kSms,
                [](auto&, auto& p) {
                    fx::SmsDbOptions o;
                    o.messages = 20;
                    o.shape.wal = true;
                    o.shape.keepWalFrames = true;
                    fx::buildSmsDatabase(p, o);
                },
                C,
                {},
                10}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pc
