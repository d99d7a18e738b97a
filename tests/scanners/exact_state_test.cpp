// The state of a row is the database's own: live rows come whole from the table's b-tree, whatever
// they hold, and a copy SQLite left behind when it moved a cell is not a deleted row.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <tuple>

#include "byte_order.h"
#include "hand_written_table.h"
#include "scan_runner.h"
#include "sms_scanner.h"
#include "text_codec.h"

namespace pc {
namespace {

namespace fx = fixtures;
using testing::ScanRun;
using Row = std::tuple<std::string, std::string, std::string, std::string>;  // address .. body

constexpr std::int64_t kMay2013 = 1368748800000;

// Text whose every part says where it is, so that a body cut short or put together wrongly shows.
std::string numberedText(std::size_t length, char tag) {
    std::string s;
    for (std::size_t i = 0; s.size() < length; ++i)
        s += tag + std::to_string(i) + "-消息,";
    s.resize(length);
    s.resize(utf8WholePrefix(s));
    return s;
}

class SmsTable : public testing::HandWrittenTable<SmsScanner> {
  protected:
    SmsTable() : HandWrittenTable(CategoryCode::Sms, "sms") {}

    void make(std::uint32_t pageSize) {
        fx::DbShape shape;
        shape.pageSize = pageSize;
        create(fx::AndroidSchema::mmssms_new, shape);
    }
    // Message `id` from 1380000000<id>, received a second after the one before; `more` sets other
    // columns. Returns the row as the scan shows it.
    Row message(std::int64_t id, const Value& body, std::map<std::string, Value> more = {}) {
        const std::string address = "1380000" + std::to_string(1000 + id);
        more.insert({{"_id", id},
                     {"thread_id", std::int64_t{1}},
                     {"address", address},
                     {"date", kMay2013 + id * 1000},
                     {"type", std::int64_t{1}},
                     {"body", body}});
        add(more, [](const std::string& c) {
            const bool nullable =
                c == "subject" || c == "person" || c == "creator" || c == "service_center";
            return nullable ? Value{nullptr} : Value{std::int64_t{0}};
        });
        const auto* text = std::get_if<std::string>(&body);
        return {address, testing::utcPlus8Text(kMay2013 + id * 1000), "接收",
                text ? *text : "NULL"};
    }
    void remove(std::int64_t id) { db().query("DELETE FROM sms WHERE _id = ?", {id}); }

    static std::multiset<Row> rows(const ScanRun& run, RecordState state) {
        std::multiset<Row> out;
        for (const PSMSvalue& r : run.store.SmsRecords())
            if (r.state == state)
                out.insert({std::string(r.address), std::string(r.date), std::string(r.type),
                            std::string(r.body)});
        return out;
    }
};

TEST_F(SmsTable, ListsLiveRowsWhateverTheirColumnsHoldButCarvesOnlyPlausibleOnes) {
    make(4096);
    const Row kotak = message(1, std::string("Your OTP is 4711"), {{"person", "DM-Kotak"}});
    const Row readText = message(2, std::string("read holds text"), {{"read", "yes"}});
    const Row noBody = message(3, nullptr);
    const Row control = message(4, std::string("a \x01 control byte"));
    message(5, std::string("deleted \x02 garbage"));
    const Row deleted = message(6, std::string("deleted\tbut\r\nplain"));
    remove(5);
    remove(6);
    ScanRun& run = scan();

    EXPECT_EQ(rows(run, RecordState::Normal),
              (std::multiset<Row>{kotak, readText, noBody, control}));
    EXPECT_EQ(rows(run, RecordState::Deleted), (std::multiset<Row>{deleted}));
    // The NULL body is known as NULL, not as the text "NULL".
    for (const PSMSvalue& r : run.store.SmsRecords())
        EXPECT_EQ(r.nulls, r.address == std::get<0>(noBody) ? 16 : 0) << r.body;
}

struct LongBody {
    const char* name;
    std::uint32_t pageSize;
    std::size_t length;
};

class SmsLongBodies : public SmsTable, public ::testing::WithParamInterface<LongBody> {};

TEST_P(SmsLongBodies, AreFoundWholeLiveOrDeleted) {
    const LongBody& c = GetParam();
    make(c.pageSize);
    // The first deletion starts the free list, so the later one's overflow pages become its
    // leaves, which keep their bytes.
    message(1, numberedText(c.length, 'a'));
    const Row live = message(2, numberedText(c.length, 'b'));
    const Row deleted = message(3, numberedText(c.length, 'c'));
    const Row shortOne = message(4, std::string("short"));
    remove(1);
    remove(3);
    ScanRun& run = scan();

    EXPECT_EQ(rows(run, RecordState::Normal), (std::multiset<Row>{live, shortOne}));
    EXPECT_EQ(rows(run, RecordState::Deleted).count(deleted), 1u);
}

INSTANTIATE_TEST_SUITE_P(Lengths, SmsLongBodies,
                         ::testing::Values(LongBody{"p1024_2100", 1024, 2100},
                                           LongBody{"p1024_9000", 1024, 9000},
                                           LongBody{"p4096_2100", 4096, 2100},
                                           LongBody{"p4096_9000", 4096, 9000},
                                           LongBody{"p65536_70000", 65536, 70000}),
                         [](const auto& info) { return std::string(info.param.name); });

// Cells SQLite moved (page splits, updates that make a row longer) leave their old bytes behind:
// copies of live rows, which are not deleted rows, unless every copy is asked for.
class SmsStaleCopies : public SmsTable, public ::testing::WithParamInterface<bool> {};

TEST_P(SmsStaleCopies, AreNotListedAsDeletedRows) {
    make(1024);
    std::multiset<Row> live;
    for (std::int64_t id = 1; id <= 300; ++id)
        live.insert(message(id, numberedText(150 + id % 50, 'm')));
    db().exec("UPDATE sms SET service_center = '" + std::string(120, 's') + "' WHERE _id % 3 = 0");
    db().exec("UPDATE sms SET status = 1234567 WHERE _id % 5 = 0");
    run_.globals.allCopies = GetParam();
    ScanRun& run = scan();

    EXPECT_EQ(rows(run, RecordState::Normal), live);
    const auto copies = rows(run, RecordState::Deleted);
    if (!GetParam()) {
        EXPECT_TRUE(copies.empty()) << copies.size() << " copies listed";
        return;
    }
    EXPECT_GT(copies.size(), 20u);
    std::set<std::tuple<std::string, std::string>> liveIds;
    for (const Row& r : live)
        liveIds.insert({std::get<0>(r), std::get<1>(r)});
    for (const Row& r : copies)
        EXPECT_TRUE(liveIds.count({std::get<0>(r), std::get<1>(r)})) << std::get<3>(r);
}

INSTANTIATE_TEST_SUITE_P(Copies, SmsStaleCopies, ::testing::Values(false, true),
                         [](const auto& info) {
                             return info.param ? "all_copies" : "each_row_once";
                         });

// A leaf page that went to the free list keeps its old header and cell pointers: its rows are
// deleted, whatever its first byte says.
TEST_F(SmsTable, CallsRowsOnAFreeListPageDeletedWhateverItsHeaderSays) {
    make(1024);
    std::multiset<Row> live, deleted;
    for (std::int64_t id = 1; id <= 60; ++id) {
        const Row r = message(id, numberedText(300, 'f'));
        (id > 20 && id <= 40 ? deleted : live).insert(r);
    }
    db().exec("DELETE FROM sms WHERE _id > 20 AND _id <= 40");
    const std::string path = this->path();
    {
        // The precondition: a free-list page that still reads as a leaf listing cells.
        db().exec("PRAGMA wal_checkpoint");
        const auto bytes = testing::readBytes(path);
        const auto trunk = *readBe32(bytes, 32);
        bool leafOnFreeList = false;
        for (std::uint32_t t = trunk; t != 0 && !leafOnFreeList;) {
            const std::size_t at = (t - 1) * std::size_t{1024};
            const auto leaves = *readBe32(bytes, at + 4);
            for (std::uint32_t i = 0; i < leaves; ++i) {
                const std::size_t leaf = (*readBe32(bytes, at + 8 + 4 * i) - 1) * std::size_t{1024};
                leafOnFreeList = leafOnFreeList || (bytes[leaf] == 0x0D && bytes[leaf + 4] > 0);
            }
            t = *readBe32(bytes, at);
        }
        ASSERT_TRUE(leafOnFreeList);
    }
    ScanRun& run = scan();
    EXPECT_EQ(rows(run, RecordState::Normal), live);
    for (const Row& r : deleted)
        EXPECT_LE(rows(run, RecordState::Deleted).count(r), 1u);
    std::size_t found = 0;
    for (const Row& r : deleted)
        found += rows(run, RecordState::Deleted).count(r);
    EXPECT_GT(found, 10u);
}

}  // namespace
}  // namespace pc
