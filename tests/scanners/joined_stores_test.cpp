// MMS, Google Messages and WhatsApp, each built by SQLite from a phone's own schema with the
// deletions phones see: every live message listed normal with its exact joins, the deleted ones
// whose bytes remain listed deleted, no live one listed deleted, next to no rows of nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <tuple>

#include "message_stores.h"
#include "scan_runner.h"
#include "scanner_for.h"
#include "sqlite_db.h"
#include "temp_dir.h"

namespace pc {
namespace {

namespace fx = fixtures;
using testing::TempDir;
using Row = std::tuple<std::string, std::string, std::string, std::string, std::string>;

Row rowOf(const fx::StoreMessage& m) {
    return {m.chat, m.sender, testing::utcPlus8Text(m.ms), m.type, m.body};
}
Row rowOf(const PMessageValue& r) {
    return {std::string(r.chat), std::string(r.sender), std::string(r.date), std::string(r.type),
            std::string(r.body)};
}

enum class Mode { Rollback, Modern };  // Modern: WAL, auto_vacuum FULL, secure_delete

struct StoreCase {
    const char* name;
    CategoryCode code;
    fx::AndroidSchema schema;
    std::uint32_t pageSize;
    Mode mode;
    bool appendColumns = false;
};

class JoinedStore : public ::testing::TestWithParam<StoreCase> {};

TEST_P(JoinedStore, ListsLiveMessagesExactlyAndTheDeletedOnesWhoseBytesRemain) {
    const StoreCase& c = GetParam();
    TempDir dir;
    fx::StoreOptions o{c.schema, {}, 6, 14, c.pageSize, c.appendColumns};
    if (c.mode == Mode::Modern) {
        o.shape = fx::modernShape(c.pageSize, true);
    } else {
        o.shape.pageSize = c.pageSize;
        o.shape.autoVacuumFull = true;
    }
    const std::string path = dir.file(c.code == CategoryCode::WhatsApp ? "msgstore.db"
                                      : c.code == CategoryCode::Mms    ? "mmssms.db"
                                                                       : "bugle_db");
    const fx::StoreFixture f = c.code == CategoryCode::Mms ? fx::buildMmsStore(path, o)
                               : c.code == CategoryCode::GoogleMessages
                                   ? fx::buildGoogleMessagesStore(path, o)
                                   : fx::buildWhatsAppStore(path, o);
    testing::ScanRun run;
    auto scanner = scannerFor(c.code);
    testing::runScan(run, *scanner, c.code, path);
    ASSERT_EQ(run.outcome, ScanOutcome::Completed);

    std::multiset<Row> normal, live;
    std::vector<Row> deleted;
    for (const PMessageValue& r : run.store.MessageRecords(c.code)) {
        if (r.state == RecordState::Normal)
            normal.insert(rowOf(r));
        else
            deleted.push_back(rowOf(r));
    }
    for (const fx::StoreMessage& m : f.live)
        live.insert(rowOf(m));
    EXPECT_EQ(normal, live);
    for (const Row& r : deleted)
        EXPECT_FALSE(live.count(r)) << "a live message listed deleted: " << std::get<4>(r);

    // A deleted message is found by its text; where the log keeps its rows whole, with every
    // field joined.
    // Only a message whose text is still in the file or beside it can be found.
    std::string bytes;
    for (const char* side : {"", "-wal", "-journal"})
        if (std::filesystem::exists(path + side)) {
            const auto b = testing::readBytes(path + side);
            bytes.append(b.begin(), b.end());
        }
    std::vector<fx::StoreMessage> remaining;
    for (const fx::StoreMessage& m : f.deleted)
        if (bytes.find(m.text) != std::string::npos) remaining.push_back(m);
    EXPECT_GE(remaining.size() * 2, f.deleted.size()) << "the fixture kept too little";
    std::size_t found = 0, exact = 0;
    for (const fx::StoreMessage& m : remaining) {
        found += std::any_of(deleted.begin(), deleted.end(), [&](const Row& r) {
            return std::get<4>(r).find(m.text) != std::string::npos;
        });
        exact += std::find(deleted.begin(), deleted.end(), rowOf(m)) != deleted.end();
    }
    auto listed = [&] {
        std::string out;
        for (const Row& r : deleted)
            out += "\n  " + std::get<0>(r) + " | " + std::get<1>(r) + " | " + std::get<2>(r) +
                   " | " + std::get<3>(r) + " | " + std::get<4>(r).substr(0, 60);
        return out;
    };
    EXPECT_GE(found * 100, remaining.size() * 99)
        << found << " of " << remaining.size() << "; listed deleted:" << listed();
    if (c.mode == Mode::Modern) {
        EXPECT_GE(exact * 100, remaining.size() * 99) << exact << " of " << remaining.size();
    }

    // Rows that match nothing written: neither a text nor a time of any message.
    std::set<std::string> times;
    for (const auto* list : {&f.live, &f.deleted})
        for (const fx::StoreMessage& m : *list)
            times.insert(testing::utcPlus8Text(m.ms));
    std::size_t noise = 0;
    for (const Row& r : deleted) {
        const bool text = std::any_of(f.deleted.begin(), f.deleted.end(), [&](const auto& m) {
            return !m.text.empty() && std::get<4>(r).find(m.text) != std::string::npos;
        });
        noise += !text && !times.count(std::get<2>(r));
    }
    EXPECT_LE(noise * 200, normal.size() + deleted.size()) << noise << " rows of nothing";
}

INSTANTIATE_TEST_SUITE_P(
    Stores, JoinedStore,
    ::testing::Values(StoreCase{"mms_android14", CategoryCode::Mms, fx::AndroidSchema::mms_aosp14,
                                4096, Mode::Rollback},
                      StoreCase{"mms_android14_modern_1024", CategoryCode::Mms,
                                fx::AndroidSchema::mms_aosp14, 1024, Mode::Modern},
                      StoreCase{"mms_android44_upgraded", CategoryCode::Mms,
                                fx::AndroidSchema::mms_aosp44, 4096, Mode::Rollback, true},
                      StoreCase{"mms_samsung_modern", CategoryCode::Mms,
                                fx::AndroidSchema::mms_samsung, 4096, Mode::Modern},
                      StoreCase{"google_messages", CategoryCode::GoogleMessages,
                                fx::AndroidSchema::bugle_google, 4096, Mode::Rollback},
                      StoreCase{"google_messages_modern_1024", CategoryCode::GoogleMessages,
                                fx::AndroidSchema::bugle_google, 1024, Mode::Modern},
                      StoreCase{"whatsapp_new", CategoryCode::WhatsApp,
                                fx::AndroidSchema::whatsapp_new, 1024, Mode::Rollback},
                      StoreCase{"whatsapp_new_modern", CategoryCode::WhatsApp,
                                fx::AndroidSchema::whatsapp_new, 4096, Mode::Modern},
                      StoreCase{"whatsapp_legacy", CategoryCode::WhatsApp,
                                fx::AndroidSchema::whatsapp_legacy, 4096, Mode::Rollback},
                      StoreCase{"whatsapp_legacy_modern_1024", CategoryCode::WhatsApp,
                                fx::AndroidSchema::whatsapp_legacy, 1024, Mode::Modern}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pc

namespace pc {
namespace {

// A vendor's build (Xiaomi) gives pdu a `deleted` column: a message its app deleted stays a live
// row with deleted = 1, listed deleted and marked so.
TEST(JoinedStoreMarks, AnMmsItsAppMarkedDeletedIsListedDeleted) {
    testing::TempDir dir;
    const std::string path = dir.file("mmssms.db");
    fixtures::StoreOptions o{fixtures::AndroidSchema::mms_miui, {}, 3, 6, 9, false};
    const fixtures::StoreFixture f = fixtures::buildMmsStore(path, o);
    fixtures::SqliteDb(path).exec("UPDATE pdu SET deleted = 1 WHERE _id = 17");
    testing::ScanRun run;
    auto scanner = scannerFor(CategoryCode::Mms);
    testing::runScan(run, *scanner, CategoryCode::Mms, path);
    int marked = 0;
    for (std::uint32_t i = 0; i < static_cast<std::uint32_t>(run.store.count(CategoryCode::Mms));
         ++i) {
        const PMessageValue m = run.store.MessageRecords(CategoryCode::Mms)[i];
        const bool isMarked = std::string(m.body).find("第17条") != std::string::npos;
        if (run.store.foundAt(CategoryCode::Mms, i).markedDeleted) {
            ++marked;
            EXPECT_TRUE(isMarked) << m.body;
            EXPECT_EQ(m.state, RecordState::Deleted);
        } else if (isMarked) {
            EXPECT_NE(m.state, RecordState::Normal) << "the marked message listed live";
        }
    }
    EXPECT_EQ(marked, 1);
    EXPECT_FALSE(f.live.empty());
}

}  // namespace
}  // namespace pc
