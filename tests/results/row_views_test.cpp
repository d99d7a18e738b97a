// The list's sort and search over the store's rows, as the window uses them.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "row_search.h"
#include "row_sort.h"
#include "text_codec.h"

namespace pc {
namespace {

constexpr RecordState N = RecordState::Normal, D = RecordState::Deleted;

struct Sms {
    std::string address, date, body;
    RecordState state = N;
};

ResultStore storeOf(const std::vector<Sms>& rows) {
    ResultStore store;
    store.beginCategory(CategoryCode::Sms);
    for (const Sms& r : rows)
        store.append(PSMSvalue{r.address, r.date, "接收", r.body, r.state, {}, 0});
    return store;
}

std::vector<std::uint32_t> all(const ResultStore& store) {
    std::vector<std::uint32_t> rows(static_cast<std::size_t>(store.count(CategoryCode::Sms)));
    for (std::uint32_t i = 0; i < rows.size(); ++i)
        rows[i] = i;
    return rows;
}

std::vector<std::string> bodiesSorted(const std::vector<std::string>& bodies, bool ascending) {
    std::vector<Sms> rows;
    for (const auto& b : bodies)
        rows.push_back({"1", "2020-01-01", b});
    const ResultStore store = storeOf(rows);
    std::vector<std::string> out;
    for (std::uint32_t r : sortedByCell(store, CategoryCode::Sms, all(store), 4, ascending))
        out.push_back(std::string(store.rowCells(CategoryCode::Sms, r).cells[4]) + "#" +
                      std::to_string(r));
    return out;
}

struct SortCase {
    const char* name;
    std::vector<std::string> bodies;
    bool ascending;
    std::vector<std::string> expected;  // body#row
};

class CellSort : public ::testing::TestWithParam<SortCase> {};

TEST_P(CellSort, OrdersByFoldedGbkBytesAndKeepsTiesInPlace) {
    EXPECT_EQ(bodiesSorted(GetParam().bodies, GetParam().ascending), GetParam().expected);
}

// 啊 B0A1 < 阿 B0A2 < 吧 B0C9 in GBK, though U+554A > U+963F; é is a four-byte code (81 30 ...)
// and goes before every two-byte one.
// Rows that share their first 16 key bytes (32 bytes of GBK here) and differ after them.
const std::string kLong = "前十六个字节相同的一段很长的文字";
INSTANTIATE_TEST_SUITE_P(
    Cases, CellSort,
    ::testing::Values(
        SortCase{"gbk", {"吧", "啊", "阿", "é"}, true, {"é#3", "啊#1", "阿#2", "吧#0"}},
        SortCase{"fold", {"b", "B", "a", "A"}, true, {"a#2", "A#3", "b#0", "B#1"}},
        SortCase{"descendingKeepsTies", {"b", "B", "a", "A"}, false, {"b#0", "B#1", "a#2", "A#3"}},
        SortCase{
            "shortTiesByLength", {"abc\x01", "abc", "ab"}, true, {"ab#2", "abc#1", "abc\x01#0"}},
        SortCase{
            "longTies",
            {kLong + "乙", kLong + "甲", kLong, kLong + "甲", "a" + kLong},
            true,
            {"a" + kLong + "#4", kLong + "#2", kLong + "甲#1", kLong + "甲#3", kLong + "乙#0"}},
        SortCase{"longTiesDescending",
                 {kLong + "乙", kLong + "甲", kLong, kLong + "甲"},
                 false,
                 {kLong + "乙#0", kLong + "甲#1", kLong + "甲#3", kLong + "#2"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CellSort, SortsOnlyTheRowsGivenInTheirOwnOrderForTies) {
    const ResultStore store =
        storeOf({{"3", "", "x"}, {"1", "", "x"}, {"2", "", "x"}, {"0", "", "y"}});
    const std::vector<std::uint32_t> some{2, 0, 1};
    EXPECT_EQ(sortedByCell(store, CategoryCode::Sms, some, 4, true), some);
    EXPECT_EQ(sortedByCell(store, CategoryCode::Sms, some, 0, true),
              (std::vector<std::uint32_t>{1, 2, 0}));
}

// Many rows sharing long beginnings, their bodies kept in blocks as the window keeps them: the
// ties are broken in batches and on two threads, and the order is still that of the whole keys.
TEST(CellSort, ManyLongTiesInBlocksSortAsTheirWholeKeys) {
    const std::string notices[] = {"【某某银行】尊敬的客户，您尾号", "Your verification code is ",
                                   "快递已放在门卫室，请凭取件码 "};
    ResultStore store;
    store.keepLongTextsInBlocks(true);
    std::vector<std::string> bodies;
    for (int i = 0; i < 60000; ++i) {
        std::string body = notices[i % 3];
        for (int k = 0; k < 12; ++k)  // about 200 bytes, differing late or not at all
            body += std::to_string((i * 7919 + k) % (k < 10 ? 3 : 97)) + "次";
        // Every fifth alike for far longer than keys are first made, differing only at its end.
        if (i % 5 == 0) body = std::string(300, 'x') + "尾" + std::to_string(i % 7);
        bodies.push_back(body);
        store.append(PSMSvalue{"1", "", "接收", bodies.back(), N, {}, 0});
    }
    for (const bool ascending : {true, false}) {
        std::vector<std::uint32_t> expected = all(store);
        std::stable_sort(expected.begin(), expected.end(), [&](std::uint32_t a, std::uint32_t b) {
            std::string x = utf8ToGb18030(bodies[a]), y = utf8ToGb18030(bodies[b]);
            for (std::string* k : {&x, &y})
                for (char& c : *k)
                    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
            return ascending ? x < y : y < x;
        });
        EXPECT_EQ(sortedByCell(store, CategoryCode::Sms, all(store), 4, ascending), expected)
            << (ascending ? "ascending" : "descending");
    }
}

// A store of `n` messages, every seventh deleted, every eleventh from a contact's number with a
// body that mentions tea.
ResultStore bigStore(int n) {
    std::vector<Sms> rows;
    for (int i = 0; i < n; ++i)
        rows.push_back({i % 11 == 0 ? "+86 138-0013-8000" : "1065" + std::to_string(i),
                        "2019-0" + std::to_string(1 + i % 9) + "-15 08:00:00",
                        i % 11 == 0 ? "Green TEA 明天见" : "账单已出 " + std::to_string(i),
                        i % 7 == 0 ? D : N});
    return storeOf(rows);
}

TEST(RowSearch, MatchesTextNameDatesAndStateAlikeForFewAndManyRows) {
    ResultStore contacts;
    contacts.beginCategory(CategoryCode::Contacts);
    contacts.append(PtelValue{"王伟", "13800138000", N, {}, 0});
    const ContactNames names(contacts);
    for (const int n : {300, 9000}) {  // fewer and more rows than the store-order pass needs
        const ResultStore store = bigStore(n);
        const auto rows = all(store);
        auto count = [&](RowQuery q) {
            return matchingRows(store, CategoryCode::Sms, rows, q, &names).size();
        };
        const std::size_t tea = static_cast<std::size_t>((n + 10) / 11);
        EXPECT_EQ(count({"tea", "", "", {}}), tea) << n;
        EXPECT_EQ(count({"明天", "", "", {}}), tea) << n;
        EXPECT_EQ(count({"王伟", "", "", {}}), tea) << n;  // by the contact's name only
        EXPECT_EQ(count({"GREEN tea", "", "", {}}), tea) << n;
        EXPECT_EQ(count({"tee", "", "", {}}), 0u) << n;
        EXPECT_EQ(count({"", "", "", D}), static_cast<std::size_t>((n + 6) / 7)) << n;
        std::size_t march = 0;
        for (int i = 0; i < n; ++i)
            march += i % 9 == 2;
        EXPECT_EQ(count({"", "2019-03-01", "2019-03-31", {}}), march) << n;
        EXPECT_EQ(count({"", "2019-03-15", "2019-03-15", {}}), march) << n;  // the whole day
    }
}

TEST(RowSearch, KeepsTheOrderOfTheRowsGiven) {
    const ResultStore store = bigStore(9000);
    std::vector<std::uint32_t> rows = all(store);
    std::reverse(rows.begin(), rows.end());
    const auto found = matchingRows(store, CategoryCode::Sms, rows, {"tea", "", "", {}});
    ASSERT_FALSE(found.empty());
    EXPECT_TRUE(std::is_sorted(found.rbegin(), found.rend()));
    EXPECT_EQ(found.front() % 11, 0u);
}

}  // namespace
}  // namespace pc
