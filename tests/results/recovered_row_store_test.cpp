// The rows of the carve of every table, kept packed: each comes back as it went in, the views of
// earlier rows stay good while later ones fill new blocks, and each table's rows are found by
// state.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "recovered_row_store.h"
#include "table_rows_export.h"
#include "temp_dir.h"

namespace pc {
namespace {

TableShape shapeOf(const std::string& name) {
    TableShape t;
    t.name = name;
    t.columns = {{"n", "INT", Affinity::Integer},
                 {"text", "TEXT", Affinity::Text},
                 {"real", "REAL", Affinity::Real},
                 {"data", "BLOB", Affinity::Blob}};
    return t;
}

TEST(RecoveredRowStore, GivesEveryRowBackAsItWentInAndEachTablesRowsByState) {
    RecoveredRowStore store;
    store.addTable(0, shapeOf("a"));
    store.addTable(1, shapeOf("b"));
    // Rows of texts up to 200 KB: several blocks of the store are filled.
    constexpr std::uint32_t kRows = 400;
    auto textOf = [](std::uint32_t i) { return std::string(i * 500 % 200000, 'x') + "é"; };
    for (std::uint32_t i = 0; i < kRows; ++i) {
        const std::string text = textOf(i);
        const std::string blob(i % 3, '\0');
        const ValueView values[] = {
            {ValueView::Kind::Integer, -std::int64_t{i}, 0, {}},
            {ValueView::Kind::Text, 0, 0, text},
            {i % 2 ? ValueView::Kind::Real : ValueView::Kind::Null, 0, i + 0.5, {}},
            {ValueView::Kind::Blob, 0, 0, blob}};
        store.append({i % 2, i % 5 ? RecordState::Normal : RecordState::Deleted,
                      i % 3 ? SourceFile::Main : SourceFile::Wal, std::uint64_t{i} << 33,
                      i % 4 ? std::optional<std::int64_t>(i) : std::nullopt, values});
    }
    ASSERT_EQ(store.rowCount(), kRows);
    std::vector<ValueView> values;
    std::vector<RecoveredRowView> views;
    std::vector<std::vector<ValueView>> held(kRows);
    for (std::uint32_t i = 0; i < kRows; ++i)
        views.push_back(store.row(i, held[i]));  // each kept while the others are read
    for (std::uint32_t i = 0; i < kRows; ++i) {
        const RecoveredRowView& r = views[i];
        EXPECT_EQ(r.table, i % 2);
        EXPECT_EQ(r.state, i % 5 ? RecordState::Normal : RecordState::Deleted);
        EXPECT_EQ(r.source, i % 3 ? SourceFile::Main : SourceFile::Wal);
        EXPECT_EQ(r.offset, std::uint64_t{i} << 33);
        EXPECT_EQ(r.rowid, i % 4 ? std::optional<std::int64_t>(i) : std::nullopt);
        ASSERT_EQ(r.values.size(), 4u);
        EXPECT_EQ(r.values[0].integer, -std::int64_t{i});
        EXPECT_EQ(r.values[1].bytes, textOf(i));
        EXPECT_EQ(r.values[2].kind, i % 2 ? ValueView::Kind::Real : ValueView::Kind::Null);
        EXPECT_EQ(r.values[3].bytes.size(), i % 3);
    }
    std::int32_t deletedOfB = 0;
    for (std::uint32_t i = 1; i < kRows; i += 2)
        deletedOfB += i % 5 == 0;
    EXPECT_EQ(store.count(1, RowFilter::Deleted), deletedOfB);
    EXPECT_EQ(store.count(1, RowFilter::All), std::int32_t{kRows / 2});
    const auto deleted = store.rowsOf(1, RowFilter::Deleted);
    ASSERT_EQ(deleted.size(), static_cast<std::size_t>(deletedOfB));
    for (const std::uint32_t i : deleted)
        EXPECT_EQ(store.row(i, values).state, RecordState::Deleted);
    EXPECT_EQ(
        store.rowsOf(0, RowFilter::Normal).size() + store.rowsOf(0, RowFilter::Deleted).size(),
        kRows / 2);

    store.clear();
    EXPECT_EQ(store.rowCount(), 0u);
    EXPECT_EQ(store.tableCount(), 0u);
}

// The window's recovery of carved tables: a dropped table and the one made again under its name
// give two files, neither replacing the other; the chosen rows only, counted.
TEST(TableRowsExport, GivesTwoTablesOfOneNameTwoFilesAndCountsTheRows) {
    RecoveredRowStore store;
    store.addTable(0, shapeOf("notes"));
    TableShape dropped = shapeOf("notes");
    dropped.dropped = true;
    store.addTable(1, dropped);
    for (std::uint32_t i = 0; i < 5; ++i) {
        const std::string text = "row " + std::to_string(i);
        const ValueView values[] = {{ValueView::Kind::Integer, i, 0, {}},
                                    {ValueView::Kind::Text, 0, 0, text},
                                    {ValueView::Kind::Null, 0, 0, {}},
                                    {ValueView::Kind::Null, 0, 0, {}}};
        store.append(
            {i < 2 ? 0u : 1u, RecordState::Deleted, SourceFile::Main, i, std::nullopt, values});
    }
    testing::TempDir dir;
    const auto all = exportTableRows(store, nullptr, OutputFormat::Csv, dir.path().string());
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].path, dir.file("其它表/notes.csv"));
    EXPECT_EQ(all[0].rows, 2u);
    EXPECT_EQ(all[1].path, dir.file("其它表/notes_2.csv"));
    EXPECT_EQ(all[1].rows, 3u);
    EXPECT_NE(testing::readText(all[1].path).find("row 4"), std::string::npos);
    EXPECT_EQ(testing::readText(all[0].path).rfind("_state,", 0), 0u);
    // For spreadsheets, each file starts with the byte order mark.
    testing::TempDir excel;
    for (const WrittenFile& f :
         exportTableRows(store, nullptr, OutputFormat::SpreadsheetCsv, excel.path().string()))
        EXPECT_EQ(testing::readText(f.path).rfind("\xEF\xBB\xBF_state,", 0), 0u) << f.path;

    const std::vector<std::uint32_t> chosen{1, 3};
    const auto some = exportTableRows(store, &chosen, OutputFormat::Jsonl, dir.path().string());
    ASSERT_EQ(some.size(), 1u);
    EXPECT_EQ(some[0].path, dir.file("其它表.jsonl"));
    EXPECT_EQ(some[0].rows, 2u);
    const std::string lines = testing::readText(some[0].path);
    EXPECT_NE(lines.find("row 1"), std::string::npos);
    EXPECT_EQ(lines.find("row 2"), std::string::npos);
}

}  // namespace
}  // namespace pc
