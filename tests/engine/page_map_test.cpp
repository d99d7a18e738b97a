// The page map against SQLite's own account of the same file (its dbstat table and header).
#include <gtest/gtest.h>

#include <map>

#include "btree_page.h"
#include "byte_order.h"
#include "database_image.h"
#include "database_pages.h"
#include "database_source.h"
#include "page_map.h"
#include "page_window.h"
#include "sqlite_db.h"
#include "temp_dir.h"

namespace pc {
namespace {

namespace fx = fixtures;

struct Shape {
    const char* name;
    std::uint32_t pageSize;
    bool autoVacuum;
};

class PageMapOfSqliteFile : public ::testing::TestWithParam<Shape> {};

// Tables with an index, texts long enough for overflow pages at every page size, and deletions
// that leave free pages (or, with auto-vacuum, pointer-map pages).
void build(const std::string& path, const Shape& shape) {
    fx::SqliteDb db(path);
    db.exec("PRAGMA page_size=" + std::to_string(shape.pageSize));
    db.exec(shape.autoVacuum ? "PRAGMA auto_vacuum=FULL" : "PRAGMA auto_vacuum=NONE");
    db.exec(
        "CREATE TABLE t (id INTEGER PRIMARY KEY, a TEXT, b INTEGER);"
        "CREATE INDEX t_a ON t(a);"
        "CREATE TABLE u (x TEXT, y BLOB)");
    db.exec("BEGIN");
    for (int i = 0; i < 600; ++i) {
        const std::size_t length = i % 50 == 0 ? 3 * shape.pageSize : 40 + i % 200;
        db.query("INSERT INTO t(a, b) VALUES (?, ?)",
                 {std::string(length, static_cast<char>('a' + i % 26)), std::int64_t{i}});
        db.query("INSERT INTO u VALUES (?, zeroblob(?))",
                 {std::to_string(i), std::int64_t{i % 7 == 0 ? 2 * shape.pageSize : 10}});
    }
    db.exec("COMMIT");
    db.exec("DELETE FROM t WHERE id % 3 = 0; DELETE FROM u WHERE rowid > 400");
}

TEST_P(PageMapOfSqliteFile, AgreesWithSqlitesOwnAccount) {
    const Shape& shape = GetParam();
    testing::TempDir dir;
    const std::string path = dir.file("db");
    build(path, shape);

    struct Stat {
        std::string name, type;
        std::int64_t unused, payload;
    };
    std::map<std::uint32_t, Stat> stats;
    std::map<std::string, std::uint32_t> roots;
    {
        fx::SqliteDb db(path);
        for (const auto& r : db.query("SELECT pageno, name, pagetype, unused, payload FROM dbstat"))
            stats[static_cast<std::uint32_t>(std::get<std::int64_t>(r[0]))] = {
                std::get<std::string>(r[1]), std::get<std::string>(r[2]),
                std::get<std::int64_t>(r[3]), std::get<std::int64_t>(r[4])};
        for (const auto& r : db.query("SELECT name, rootpage FROM sqlite_master"))
            roots[std::get<std::string>(r[0])] =
                static_cast<std::uint32_t>(std::get<std::int64_t>(r[1]));
    }
    roots["sqlite_schema"] = 1;

    const ImageLoad load = loadDatabaseImage(path);
    ASSERT_TRUE(load.image);
    const DatabasePages pages(*load.image);
    const PageMap map(pages);
    ASSERT_EQ(map.schema().size(), 3u);
    EXPECT_EQ(map.tableRoot("T"), roots["t"]);
    EXPECT_EQ(map.tableRoot("t_a"), 0u);  // an index, not a table

    std::vector<ByteRange> ranges;
    std::uint32_t free = 0, pointerMaps = 0;
    for (std::uint32_t p = 1; p <= pages.pageCount(); ++p) {
        const auto stat = stats.find(p);
        const PageRole role = map.role(p);
        if (stat == stats.end()) {
            // Not in any b-tree: on the free list, or a pointer-map page.
            free += role == PageRole::FreeTrunk || role == PageRole::FreeLeaf;
            pointerMaps += role == PageRole::PointerMap;
            EXPECT_TRUE(role == PageRole::FreeTrunk || role == PageRole::FreeLeaf ||
                        role == PageRole::PointerMap)
                << "page " << p << " role " << static_cast<int>(role);
            continue;
        }
        const bool index = stat->second.name == "t_a";
        const std::string& type = stat->second.type;
        const PageRole expected = type == "overflow" ? PageRole::Overflow
                                  : type == "leaf"
                                      ? (index ? PageRole::IndexLeaf : PageRole::TableLeaf)
                                      : (index ? PageRole::IndexInterior : PageRole::TableInterior);
        EXPECT_EQ(role, expected) << "page " << p << " " << type;
        EXPECT_EQ(map.owner(p), roots[stat->second.name]) << "page " << p;
        if (type == "overflow") continue;
        // Unused bytes: what no header, cell pointer or cell takes; payload in the page: what
        // the cells' local parts hold.
        map.unusedRanges(p, ranges);
        std::int64_t unused = 0;
        for (const ByteRange& r : ranges)
            unused += r.end - r.begin;
        EXPECT_EQ(unused, stat->second.unused) << "page " << p;
        const auto header = parseBtreePage(pages.page(p), p == 1 ? 100 : 0, pages.usableSize());
        ASSERT_TRUE(header);
        std::int64_t payload = 0;
        for (std::uint32_t i = 0; i < header->cellCount; ++i)
            payload += readCell(pages.page(p), *header, i, pages.usableSize())->localSize;
        EXPECT_EQ(payload, stat->second.payload) << "page " << p;
    }
    EXPECT_EQ(free, *readBe32(pages.page(1), 36));
    if (shape.autoVacuum) {
        EXPECT_EQ(free, 0u);
        EXPECT_GE(pointerMaps, 1u);
    } else {
        EXPECT_GT(free, 0u);
    }
}

// The buffer a scan reads pages through holds each page's own bytes, whether pages are asked for in
// rising order or in the order a walk meets them, runs it announced or not.
TEST_P(PageMapOfSqliteFile, PageWindowHoldsEachPagesBytes) {
    testing::TempDir dir;
    const std::string path = dir.file("db");
    build(path, GetParam());
    const ImageLoad load = loadDatabaseImage(path);
    ASSERT_TRUE(load.image);
    const DatabasePages pages(*load.image);
    const std::uint32_t count = pages.pageCount();
    auto same = [&](const PageWindow::View& view, std::uint32_t p) {
        return std::ranges::equal(view.page, pages.page(p)) &&
               view.page.data() >= view.buffer.data() &&
               view.page.data() + view.page.size() <= view.buffer.data() + view.buffer.size();
    };
    PageWindow rising(pages, true, 3);
    for (std::uint32_t p = 1; p <= count; ++p)
        EXPECT_TRUE(same(rising.page(p), p)) << "page " << p;

    // Left to itself, the window reads a megabyte at a time.
    PageWindow megabytes(pages, true);
    for (std::uint32_t p = 1; p <= count; ++p)
        ASSERT_TRUE(same(megabytes.page(p), p)) << "page " << p;
    const std::uint64_t bytes = std::uint64_t{count} * pages.pageSize();
    EXPECT_EQ(megabytes.reads(), (bytes + (1u << 20) - 1) / (1u << 20));

    PageWindow walk(pages, false, 4);
    const std::vector<std::uint32_t> announced{count, 2, 3, 4, 5, 6, 9};
    walk.expect(announced);
    for (std::uint32_t p : {count, 3u, 2u, 4u, 5u, 6u, 9u, 1u, count - 1, 7u, 3u})
        EXPECT_TRUE(same(walk.page(p), p)) << "page " << p;
    EXPECT_TRUE(walk.page(count + 1).page.empty());
}

// Pages of the newest state taking turns between the main file and a log, frames written in page
// order and out of it, and every older image, come through the buffer as they are in the files.
TEST(PageWindow, HoldsPagesAndOlderImagesOfALog) {
    testing::TempDir dir;
    const std::string path = dir.file("db");
    {
        fx::SqliteDb db(path);
        db.exec("PRAGMA page_size=1024; PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;");
        sqlite3_db_config(db.handle(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        db.exec("CREATE TABLE t(a TEXT)");
        db.exec("BEGIN");
        for (int i = 0; i < 900; ++i)
            db.query("INSERT INTO t VALUES (?)", {std::string(40 + i * 7 % 90, 'x')});
        db.exec("COMMIT");
        // Into the main file; then changes to some of the pages, some of them twice, stay in
        // the log: the newest state takes turns between the two files.
        db.query("PRAGMA wal_checkpoint(TRUNCATE)");
        db.exec("UPDATE t SET a = 'y' || a WHERE rowid % 60 = 0");
        db.exec("DELETE FROM t WHERE rowid % 97 = 1");
        db.exec("UPDATE t SET a = 'z' || a WHERE rowid % 120 = 0");
    }
    ASSERT_TRUE(std::filesystem::exists(path + "-wal"));
    const ImageLoad load = loadDatabaseImage(path);
    ASSERT_TRUE(load.image);
    const DatabaseSource source(path, *load.image);
    const DatabasePages& pages = source.newest();
    ASSERT_GT(source.oldImages().size(), 10u);
    for (bool following : {true, false}) {
        PageWindow window(pages, following, 8);
        std::vector<std::uint32_t> all;
        for (std::uint32_t p = 1; p <= pages.pageCount(); ++p)
            all.push_back(p);
        window.expect(all);
        std::uint32_t fromLog = 0, turns = 0;
        for (std::uint32_t p = 1; p <= pages.pageCount(); ++p) {
            fromLog += pages.source(p) == SourceFile::Wal;
            turns += p > 1 && pages.source(p) != pages.source(p - 1);
            EXPECT_TRUE(std::ranges::equal(window.page(p).page, pages.peek(p))) << "page " << p;
        }
        EXPECT_GT(fromLog, 0u);
        EXPECT_GT(turns, 2u);
        for (const DatabaseSource::OldImage& image : source.oldImages())
            EXPECT_TRUE(std::ranges::equal(
                window.at(image.source, image.offset).page,
                source.file(image.source).subspan(image.offset, pages.pageSize())))
                << image.offset;
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, PageMapOfSqliteFile,
                         ::testing::Values(Shape{"p512", 512, false}, Shape{"p1024", 1024, false},
                                           Shape{"p4096", 4096, false},
                                           Shape{"p4096_autovacuum", 4096, true},
                                           Shape{"p65536", 65536, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// A leaf's cells come back in the order of their offsets whatever the order of its cell pointers
// (listed in place order, falling, scrambled, one offset twice), with the bytes between them as
// its unused ranges.
TEST(BtreePage, CellsInOffsetOrderWhateverThePointersOrder) {
    const std::vector<std::uint16_t> offsets = {100, 150, 200, 300, 310, 400, 310};
    const std::vector<std::vector<int>> orders = {
        {0, 1, 2, 3, 4, 5}, {5, 4, 3, 2, 1, 0}, {3, 0, 5, 1, 4, 2}, {4, 2, 6, 0, 5, 3, 1}};
    for (const auto& order : orders) {
        std::vector<std::uint8_t> page(512, 0);
        page[0] = 0x0D;
        page[4] = static_cast<std::uint8_t>(order.size());
        for (std::size_t i = 0; i < order.size(); ++i) {
            const std::uint16_t at = offsets[order[i]];
            page[8 + 2 * i] = at >> 8;
            page[9 + 2 * i] = at & 0xFF;
            // payload of 3 bytes, row id, a header of 2 bytes and a one-byte integer
            const std::uint8_t cell[] = {3, static_cast<std::uint8_t>(order[i] + 1), 2, 1, 7};
            std::copy(std::begin(cell), std::end(cell), page.begin() + at);
        }
        const auto header = parseBtreePage(page, 0, 512);
        ASSERT_TRUE(header);
        std::vector<ByteRange> ranges, scratch;
        std::vector<BtreeCell> cells;
        btreeUnusedRanges(page, *header, 512, ranges, &cells, scratch);
        std::vector<std::uint32_t> want, got;
        for (int k : order)
            want.push_back(offsets[k]);
        std::sort(want.begin(), want.end());
        for (const BtreeCell& c : cells) {
            got.push_back(c.offset);
            EXPECT_EQ(c.size, 5u);
            EXPECT_EQ(c.rowid, page[c.offset + 1]);
        }
        EXPECT_EQ(got, want);
        const std::uint32_t end = 8 + 2 * order.size();
        EXPECT_EQ(ranges, (std::vector<ByteRange>{{end, 100},
                                                  {105, 150},
                                                  {155, 200},
                                                  {205, 300},
                                                  {305, 310},
                                                  {315, 400},
                                                  {405, 512}}));
    }
}

}  // namespace
}  // namespace pc
