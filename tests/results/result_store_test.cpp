#include <gtest/gtest.h>

#include <random>

#include "category_profile.h"
#include "result_store.h"
#include "text_blocks.h"
#include "text_pool.h"

namespace pc {
namespace {

constexpr auto N = RecordState::Normal;
constexpr auto D = RecordState::Deleted;

TEST(ResultStore, SelectsRowsByTagInTheOrderFound) {
    ResultStore store;
    for (RecordState s : {N, D, D, N, D})
        store.append(PSMSvalue{"10086", "2013-05-17", "接收", "hi", s, {0}, 0});
    store.append(PtelValue{"王伟", "13800000000", N, {0}, 0});

    EXPECT_EQ(store.rowsMatching({CategoryCode::Sms, RowFilter::Deleted}),
              (std::vector<std::uint32_t>{1, 2, 4}));
    EXPECT_EQ(store.rowsMatching({CategoryCode::Sms, RowFilter::Normal}),
              (std::vector<std::uint32_t>{0, 3}));
    EXPECT_EQ(store.rowsMatching({CategoryCode::Sms, RowFilter::All}).size(), 5u);
    EXPECT_TRUE(store.rowsMatching({CategoryCode::CallLog, RowFilter::All}).empty());
    EXPECT_EQ(store.count(CategoryCode::Contacts), 1);
}

TEST(ResultStore, EmptiesOnlyTheCategoryWhoseScanBegins) {
    ResultStore store;
    EXPECT_FALSE(store.anyRows());
    store.append(PtelValue{"a", "1", N, {0}, 0});
    store.append(PCallValue{"b", "2", "呼入", "30", "2013-05-17", D, {0}, 0});
    store.beginCategory(CategoryCode::Contacts);
    store.beginCategory(CategoryCode::Sms);
    EXPECT_EQ(store.count(CategoryCode::Contacts), 0);
    EXPECT_EQ(store.count(CategoryCode::CallLog), 1);
    EXPECT_TRUE(store.anyRows());  // an earlier run's call log still counts
    store.beginCategory(CategoryCode::CallLog);
    EXPECT_FALSE(store.anyRows());
}

TEST(ResultStore, LaysOutEachCategorysRowInColumnOrder) {
    ResultStore store;
    store.append(PtelValue{"王伟", "138", D, {7}, 0});
    store.append(PSMSvalue{"10086", "2013-05-17", "发送", "body", N, {8}, 0});
    store.append(PCallValue{"李娜", "139", "未接通", "300", "2013-05-17 08:00:00", N, {9}, 0});
    for (const CategoryCode code :
         {CategoryCode::Mms, CategoryCode::GoogleMessages, CategoryCode::WhatsApp})
        store.append(PMessageValue{code,
                                   "张三 (138)",
                                   "本机",
                                   "2021-03-04 10:00:00",
                                   "发送",
                                   "正文\n[附件: image/jpeg a.jpg]",
                                   D,
                                   {10},
                                   0});
    auto cells = [&](CategoryCode c) {
        const RowCells row = store.rowCells(c, 0);
        return std::vector<std::string>(row.begin(), row.end());
    };
    EXPECT_EQ(cells(CategoryCode::Contacts), (std::vector<std::string>{"王伟", "138", "删除"}));
    EXPECT_EQ(cells(CategoryCode::Sms),
              (std::vector<std::string>{"10086", "2013-05-17", "发送", "正常", "body"}));
    EXPECT_EQ(
        cells(CategoryCode::CallLog),
        (std::vector<std::string>{"139", "李娜", "2013-05-17 08:00:00", "300", "未接通", "正常"}));
    EXPECT_EQ(store.foundAt(CategoryCode::CallLog, 0).offset, 9u);
    EXPECT_EQ(cells(CategoryCode::WhatsApp),
              (std::vector<std::string>{"张三 (138)", "本机", "2021-03-04 10:00:00", "发送", "删除",
                                        "正文\n[附件: image/jpeg a.jpg]"}));
    EXPECT_EQ(store.MessageRecords(CategoryCode::Mms)[0].sender, "本机");
    for (CategoryCode c : kAllCategories)
        EXPECT_EQ(profileOf(c).fields.size(), store.rowCells(c, 0).size);
}

// A store keeping message bodies in compressed blocks reads every row back as a plain store does,
// in any order, across many blocks, with empty bodies and bodies too long for a block; its packed
// rows are the plain store's bytes; a body's view lasts while fewer than kOpenBlocks other blocks
// are read.
TEST(ResultStore, KeepsBodiesInBlocksAsAPlainStoreKeepsThem) {
    ResultStore plain, blocks;
    blocks.keepLongTextsInBlocks(true);
    const std::vector<std::string> words{"尊敬的客户", "OK", "\t", "验证码 482913", "😊", "\n"};
    std::mt19937 random(7);
    std::vector<std::string> bodies;
    for (int i = 0; i < 8000; ++i) {
        std::string body;
        const std::size_t length = i % 997 == 5 ? 9000 : i % 13 == 0 ? 0 : random() % 400;
        while (body.size() < length)
            body += words[random() % words.size()];
        bodies.push_back(body);
        const std::string address = std::to_string(13800000000 + random() % 50);
        for (ResultStore* store : {&plain, &blocks})
            store->append(PSMSvalue{address,
                                    "2013-05-17",
                                    i % 2 ? "发送" : "接收",
                                    bodies.back(),
                                    i % 3 ? N : D,
                                    {std::uint64_t(i) * 4096},
                                    NullCells(i % 4)});
    }
    auto same = [&](std::uint32_t i) {
        const RowCells a = plain.rowCells(CategoryCode::Sms, i);
        const RowCells b = blocks.rowCells(CategoryCode::Sms, i);
        EXPECT_EQ(b.nulls, a.nulls);
        EXPECT_EQ(blocks.stateAt(CategoryCode::Sms, i), plain.stateAt(CategoryCode::Sms, i));
        EXPECT_EQ(blocks.foundAt(CategoryCode::Sms, i).offset, std::uint64_t(i) * 4096);
        EXPECT_EQ(blocks.SmsRecords()[i].body, bodies[i]);
        EXPECT_EQ(blocks.packedRow(CategoryCode::Sms, i), plain.packedRow(CategoryCode::Sms, i));
        return std::vector<std::string>(a.begin(), a.end()) ==
               std::vector<std::string>(b.begin(), b.end());
    };
    const auto n = static_cast<std::uint32_t>(bodies.size());
    for (std::uint32_t i = 0; i < n; ++i)
        ASSERT_TRUE(same(i)) << i;
    for (std::uint32_t i = n; i-- > 0;)
        ASSERT_TRUE(same(i)) << i;
    for (int k = 0; k < 2000; ++k) {
        const auto i = static_cast<std::uint32_t>(random() % n);
        ASSERT_TRUE(same(i)) << i;
    }

    // A view held while rows of other blocks are read: 100 rows of about 200 bytes apart is a
    // block or less, fifteen times.
    const std::string_view held = blocks.SmsRecords()[1].body;
    for (std::uint32_t i = 1; i < 1500; i += 100)
        EXPECT_EQ(blocks.SmsRecords()[i].body, bodies[i]);
    EXPECT_EQ(held, bodies[1]);

    // Rows handed to a store that keeps them in blocks, and one row passed through.
    ResultStore handed;
    handed.keepLongTextsInBlocks(true);
    for (std::uint32_t i = 0; i < 300; ++i)
        handed.appendPacked(CategoryCode::Sms, blocks.packedRow(CategoryCode::Sms, i));
    for (std::uint32_t i = 0; i < 300; ++i)
        ASSERT_EQ(handed.SmsRecords()[i].body, bodies[i]) << i;
    blocks.passRowsThrough(true);
    blocks.beginCategory(CategoryCode::Sms);
    blocks.append(PSMSvalue{"1", "2", "3", "passed", N, {0}, 0});
    EXPECT_EQ(blocks.SmsRecords().size(), 0u);
    EXPECT_EQ(blocks.rowCells(CategoryCode::Sms, 0).cells[4], "passed");
}

// Texts come back from sealed blocks, the open ones and the one filling, in any order; repeated
// phrases take a fraction of their size; a text longer than a block allows is refused; a cleared
// set starts again.
TEST(TextBlocks, GivesBackEveryTextAndCompressesThem) {
    TextBlocks blocks;
    std::mt19937 random(3);
    std::vector<std::pair<TextBlocks::Place, std::string>> kept;
    for (int i = 0; i < 6000; ++i) {
        std::string text;
        const std::size_t length = i % 500 == 7 ? TextBlocks::kLongest : random() % 300;
        while (text.size() < length)
            text += i % 2 ? "明天上午十点在公司楼下见" : "Your code is 4829. ";
        text.resize(length);
        kept.emplace_back(blocks.keep(text), text);
    }
    for (int k = 0; k < 3000; ++k) {
        const auto& [place, text] = kept[random() % kept.size()];
        ASSERT_EQ(blocks.text(place, text.size()), text);
    }
    for (const auto& [place, text] : kept)
        ASSERT_EQ(blocks.text(place, text.size()), text);
    EXPECT_GT(blocks.compressedBytes(), 0u);
    EXPECT_LT(blocks.compressedBytes() * 4, blocks.keptBytes());
    EXPECT_THROW(blocks.keep(std::string(TextBlocks::kLongest + 1, 'x')), std::length_error);
    blocks.clear();
    EXPECT_EQ(blocks.keptBytes(), 0u);
    EXPECT_EQ(blocks.text(blocks.keep("again"), 5), "again");
}

TEST(TextPool, KeepsEveryTextAcrossChunksAndForBigOnes) {
    TextPool pool;
    std::vector<std::pair<std::string, std::string_view>> kept;
    for (int i = 0; i < 3000; ++i) {
        // Small texts fill several chunks; every hundredth is past a quarter chunk.
        const std::size_t size = i % 100 == 99 ? 600000 : static_cast<std::size_t>(i * 7919 % 3000);
        const std::string text(size, static_cast<char>('a' + i % 26));
        kept.emplace_back(text, pool.keep(text));
    }
    for (const auto& [text, view] : kept)
        ASSERT_EQ(view, text);
    EXPECT_TRUE(pool.keep("").empty());
}

}  // namespace
}  // namespace pc
