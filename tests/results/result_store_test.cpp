#include <gtest/gtest.h>

#include "result_store.h"
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
    for (CategoryCode c : kAllCategories)
        EXPECT_EQ(rowFieldNames(c).size(), store.rowCells(c, 0).size);
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
