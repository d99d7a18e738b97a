#include <gtest/gtest.h>

#include <map>
#include <set>

#include "contacts_fixture.h"
#include "contacts_scanner.h"
#include "hand_written_table.h"
#include "record_bytes.h"
#include "scan_runner.h"
#include "temp_dir.h"

namespace pc {
namespace {

namespace fx = fixtures;
using testing::ScanRun;
using testing::ShownMessage;
using testing::TempDir;
using Pair = std::pair<std::string, std::string>;

std::multiset<Pair> pairsOf(const ResultStore& store, std::optional<RecordState> state) {
    std::multiset<Pair> out;
    for (const PtelValue& c : store.ContactRecords())
        if (!state || c.state == *state) out.insert({std::string(c.name), std::string(c.phone)});
    return out;
}

const std::vector<std::string> kCurrentOrder = {
    "vnd.android.cursor.item/email_v2", "vnd.android.cursor.item/im",
    "vnd.android.cursor.item/nickname", "vnd.android.cursor.item/organization",
    "vnd.android.cursor.item/phone_v2", "vnd.android.cursor.item/sip_address",
    "vnd.android.cursor.item/name",     "vnd.android.cursor.item/postal-address_v2"};

struct Layout {
    const char* name;
    bool currentLayout;
    std::uint32_t pageSize;
    bool autoVacuumFull;
    std::vector<std::string> mimetypes;  // empty: the schema's own rows
    std::int64_t firstMimetypeId;
    std::int64_t mimetypeIdStep;
};

class ContactsRecovery : public ::testing::TestWithParam<Layout> {};

TEST_P(ContactsRecovery, PairsEveryNameWithEachPhoneOfItsRawContact) {
    const Layout& layout = GetParam();
    TempDir dir;
    fx::ContactsDbOptions o;
    o.currentLayout = layout.currentLayout;
    o.shape.pageSize = layout.pageSize;
    o.shape.autoVacuumFull = layout.autoVacuumFull;
    o.mimetypes = layout.mimetypes;
    o.firstMimetypeId = layout.firstMimetypeId;
    o.mimetypeIdStep = layout.mimetypeIdStep;
    o.contacts = 250;
    o.seed = layout.pageSize + layout.firstMimetypeId;
    const std::string path = dir.file("contacts2.db");
    const fx::ContactsFixture fixture = fx::buildContactsDatabase(path, o);
    const auto file = testing::readBytes(path);

    ScanRun run;
    ContactsScanner scanner;
    testing::runScan(run, scanner, CategoryCode::Contacts, path);
    ASSERT_EQ(run.outcome, ScanOutcome::Completed);
    EXPECT_EQ(scanner.nameMimeId(), fixture.nameMimeId);
    EXPECT_EQ(scanner.phoneMimeId(), fixture.phoneMimeId);

    // Every phone of a live contact listed normal once with the contact's name; nothing else is
    // normal, and no copy of a live entry is listed deleted.
    const auto normal = pairsOf(run.store, RecordState::Normal);
    const auto deletedPairs = pairsOf(run.store, RecordState::Deleted);
    std::multiset<Pair> live;
    for (const fx::Contact& c : fixture.live)
        for (const std::string& phone : c.phones)
            live.insert({c.name, phone});
    EXPECT_EQ(normal, live);
    // Names and numbers repeat between contacts: a deleted entry may equal a live one only as
    // often as deleted contacts hold it.
    std::multiset<Pair> deletedWritten;
    for (const fx::Contact& c : fixture.deleted)
        for (const std::string& phone : c.phones)
            deletedWritten.insert({c.name, phone});
    for (const Pair& p : live)
        EXPECT_LE(deletedPairs.count(p), deletedWritten.count(p))
            << "a copy of a live entry listed as deleted: " << p.first << " " << p.second;
    int deletedChecked = 0;
    for (const fx::Contact& c : fixture.deleted) {
        bool remains = true;
        for (const fx::DataRow& row : c.rows)
            remains = remains && testing::bytesOccurAfterFirstPage(
                                     file, layout.pageSize, fx::recordBytesFromColumn1(row.row));
        if (!remains) continue;
        ++deletedChecked;
        for (const std::string& phone : c.phones)
            EXPECT_TRUE(deletedPairs.count({c.name, phone}))
                << "deleted " << c.name << " " << phone;
    }
    if (!layout.autoVacuumFull) {
        EXPECT_GT(deletedChecked, 10);
    }

    // A stale copy of a phone row that a later cell partly overwrote still pairs with its name
    // (normal when that name row is live: a contact is deleted only when both rows are).
    std::set<Pair> written;
    std::set<std::string> names;
    for (const auto* list : {&fixture.live, &fixture.deleted}) {
        for (const fx::Contact& c : *list) {
            names.insert(c.name);
            for (const std::string& phone : c.phones)
                written.insert({c.name, phone});
        }
    }
    for (const PtelValue& c : run.store.ContactRecords()) {
        const Pair p{std::string(c.name), std::string(c.phone)};
        if (written.count(p)) continue;
        EXPECT_TRUE(names.count(p.first)) << "[" << p.first << "] [" << p.second << "]";
    }

    std::int32_t deleted = 0;
    for (const PtelValue& c : run.store.ContactRecords())
        deleted += c.state == RecordState::Deleted;
    const auto found = run.store.count(CategoryCode::Contacts);
    EXPECT_EQ(run.host.logRows.back(), "扫描完成,共找到 " + std::to_string(found) +
                                           " 条联系人, 其中有" + std::to_string(deleted) +
                                           "条删除");
    EXPECT_EQ(run.host.status[1],
              "找到 " + std::to_string(found) + " 条联系人, " + std::to_string(deleted) + "条删除");
}

INSTANTIATE_TEST_SUITE_P(
    AndroidLayouts, ContactsRecovery,
    ::testing::Values(Layout{"old_4096", false, 4096, false, {}, 1, 1},
                      Layout{"current_4096", true, 4096, false, {}, 1, 1},
                      Layout{"current_autovacuum", true, 4096, true, {}, 1, 1},
                      Layout{"old_1024", false, 1024, false, {}, 1, 1},
                      Layout{"current_65536", true, 65536, false, {}, 1, 1},
                      // ids that are not row positions: data.mimetype_id refers to _id
                      Layout{"ids_with_gaps", false, 4096, false, kCurrentOrder, 3, 2},
                      // the name and phone types beyond id 11
                      Layout{"ids_beyond_eleven", true, 4096, false, kCurrentOrder, 20, 1}),
    [](const auto& info) { return std::string(info.param.name); });

// A contacts database whose `data` rows a test writes and deletes by hand.
class ContactRows : public testing::HandWrittenTable<ContactsScanner> {
  protected:
    ContactRows() : HandWrittenTable(CategoryCode::Contacts, "data") {}
    void SetUp() override { create(fx::AndroidSchema::contacts2_old); }
    void add(std::int64_t id, std::int64_t mime, std::int64_t raw, const std::string& data1) {
        HandWrittenTable::add(
            {{"_id", id}, {"mimetype_id", mime}, {"raw_contact_id", raw}, {"data1", data1}},
            [](const std::string& c) {
                const bool nullable =
                    (c.rfind("data", 0) == 0 && c != "data_version") || c == "package_id";
                return nullable ? Value{nullptr} : Value{std::int64_t{0}};
            });
    }
    void remove(std::int64_t id) { db().query("DELETE FROM data WHERE _id = ?", {id}); }

    static constexpr std::int64_t kName = 7, kPhone = 5, kEmail = 1;  // Android 4.4's ids
};

TEST_F(ContactRows, JoinsNamesAndPhonesAsTheRowsWereFound) {
    add(1, kName, 10, "王伟");
    add(2, kPhone, 10, "13800000001");
    add(3, kPhone, 10, "13800000002");
    add(4, kPhone, 11, "13900000000");  // no name row: listed by its number, as the phone does
    add(5, kName, 12, "李娜");          // no phone row
    add(6, kEmail, 10, "wang@example.com");
    add(7, kName, 13, "张强");  // name deleted, phone live: normal
    add(8, kPhone, 13, "13700000000");
    add(9, kName, 14, "刘洋");  // both deleted: deleted
    add(10, kPhone, 14, "13600000000");
    add(11, kPhone, 15, "13500000000");  // deleted, no name row: nothing says it was a contact's
    remove(7);
    remove(9);
    remove(10);
    remove(11);
    ScanRun& run = scan();

    std::map<Pair, RecordState> got;
    for (const PtelValue& c : run.store.ContactRecords())
        got[{std::string(c.name), std::string(c.phone)}] = c.state;
    EXPECT_EQ(got, (std::map<Pair, RecordState>{{{"王伟", "13800000001"}, RecordState::Normal},
                                                {{"王伟", "13800000002"}, RecordState::Normal},
                                                {{"", "13900000000"}, RecordState::Normal},
                                                {{"张强", "13700000000"}, RecordState::Normal},
                                                {{"刘洋", "13600000000"}, RecordState::Deleted}}));
    EXPECT_EQ(run.host.branches.at(0).counts, "(5)(4)(1)");
    EXPECT_EQ(run.host.rows.size(), 5u);
    // Rows of every MIME type from 1 to 11 are kept for the join, not only names and phones.
    bool email = false;
    for (const PAlltelvalue& r : scanner_.ContactDataRows())
        email = email || r.mimetypeId == kEmail;
    EXPECT_TRUE(email);
}

TEST_F(ContactRows, TakesTheLiveNameAndThePhoneRowsOwnState) {
    add(1, kName, 10, "Pat SS tour");
    add(2, kPhone, 10, "13800000001");
    add(3, kName, 11, "李雷");
    add(4, kPhone, 11, "10086");
    add(5, kPhone, 11, "95588");
    add(6, kName, 12, "韩梅梅");
    add(7, kPhone, 12, "13900000000");
    // A longer name and a longer label move the rows.
    db().exec("UPDATE data SET data1 = 'Pat SA tour Korea' WHERE _id = 1");
    db().exec("UPDATE data SET data3 = 'a label long enough to move the row' WHERE _id = 2");
    remove(5);  // a number deleted from a contact that is still there
    remove(6);  // a name deleted, its phone row live
    ScanRun& run = scan();

    std::multimap<Pair, RecordState> got;
    for (const PtelValue& c : run.store.ContactRecords())
        got.insert({{std::string(c.name), std::string(c.phone)}, c.state});
    EXPECT_EQ(got, (std::multimap<Pair, RecordState>{
                       {{"Pat SA tour Korea", "13800000001"}, RecordState::Normal},
                       {{"李雷", "10086"}, RecordState::Normal},
                       {{"李雷", "95588"}, RecordState::Deleted},
                       {{"韩梅梅", "13900000000"}, RecordState::Normal}}));
    EXPECT_EQ(run.host.branches.at(0).counts, "(4)(3)(1)");
}

TEST(ContactJoin, PrefersALiveNameToAnOldOneFoundBeforeIt) {
    const std::vector<PAlltelvalue> rows{
        {7, 10, "Pat SS tour", 1, {100}, false},        // a stale name row, earlier in the file
        {5, 10, "13800000001", 0, {200}, false},        // the live phone row
        {7, 10, "Pat SA tour Korea", 0, {300}, false},  // the live name row
        {7, 11, "Old only", 1, {400}, false},           // a raw contact with no live name
        {5, 11, "13900000000", 1, {500}, false}};
    std::vector<std::pair<std::string, std::string>> joined;
    joinContactRows(rows, 7, 5, [&](const PAlltelvalue* name, const PAlltelvalue& phone) {
        joined.push_back({name ? name->data1 : "", phone.data1});
    });
    EXPECT_EQ(joined, (std::vector<std::pair<std::string, std::string>>{
                          {"Pat SA tour Korea", "13800000001"}, {"Old only", "13900000000"}}));
}

TEST_F(ContactRows, RefusesIdsBeyondThirtyTwoBitsAndGoesOn) {
    add(1, kName, 4294967296LL, "too big");
    add(2, kPhone, 4294967296LL, "13800000000");
    add(3, kName, 20, "赵敏");
    add(4, kPhone, 20, "13500000000");
    ScanRun& run = scan();
    ASSERT_EQ(run.store.count(CategoryCode::Contacts), 1);
    EXPECT_EQ(run.store.ContactRecords()[0].name, "赵敏");
    for (const PAlltelvalue& r : scanner_.ContactDataRows())
        EXPECT_NE(r.data1, "too big");
}

struct EarlyEnd {
    const char* name;
    std::function<void(fx::SqliteDb&)> change;
    std::optional<ShownMessage> message;  // else an error of the SQLite layer
    std::string error;
};

class ContactsEarlyEnd : public ::testing::TestWithParam<EarlyEnd> {};

TEST_P(ContactsEarlyEnd, EndsWithoutJoiningAndLeavesTheStoreEmpty) {
    TempDir dir;
    {
        auto db = fx::createAndroidDb(dir.file("c.db"), fx::AndroidSchema::contacts2_old, {});
        GetParam().change(*db);
    }
    ScanRun run;
    run.store.append(PtelValue{"from an earlier run", "1", RecordState::Normal, {}, 0});
    ContactsScanner scanner;
    testing::runScan(run, scanner, CategoryCode::Contacts, dir.file("c.db"));

    EXPECT_EQ(run.outcome, ScanOutcome::EndedEarly);
    if (GetParam().message) {
        EXPECT_EQ(run.host.messages, std::vector<ShownMessage>{*GetParam().message});
    } else {
        ASSERT_EQ(run.host.errors.size(), 1u);
        EXPECT_NE(run.host.errors[0].find(GetParam().error), std::string::npos)
            << run.host.errors[0];
    }
    EXPECT_EQ(run.host.branches.at(0).counts, "");
    EXPECT_EQ(run.store.count(CategoryCode::Contacts), 0);
    EXPECT_EQ(run.state.ScanHalted, 1);
    EXPECT_EQ(run.host.commandStates.back(), CommandState::Idle);
}

const ShownMessage kNoContacts{"没有找到通讯录，扫描结束！", "提示", MessageIcon::Information};

INSTANTIATE_TEST_SUITE_P(
    Databases, ContactsEarlyEnd,
    ::testing::Values(
        EarlyEnd{"no_data_table", [](fx::SqliteDb& db) { db.exec("DROP TABLE data"); }, kNoContacts,
                 ""},
        EarlyEnd{
            "no_name_type",
            [](fx::SqliteDb& db) { db.exec("DELETE FROM mimetypes WHERE mimetype LIKE '%/name'"); },
            kNoContacts, ""},
        EarlyEnd{"no_mimetype_rows", [](fx::SqliteDb& db) { db.exec("DELETE FROM mimetypes"); },
                 kNoContacts, ""},
        EarlyEnd{"no_mimetypes_table", [](fx::SqliteDb& db) { db.exec("DROP TABLE mimetypes"); },
                 std::nullopt, "Error executing SQL"},
        EarlyEnd{"no_mimetype_column",
                 [](fx::SqliteDb& db) {
                     db.exec(
                         "DROP TABLE mimetypes; CREATE TABLE mimetypes (_id INTEGER PRIMARY KEY, "
                         "kind TEXT);"
                         "INSERT INTO mimetypes(kind) VALUES('x')");
                 },
                 std::nullopt, "Field not found in dataset: mimetype"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pc
