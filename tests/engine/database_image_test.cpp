#include <gtest/gtest.h>

#include <sys/stat.h>

#include "database_image.h"
#include "file_error.h"
#include "raw_image.h"
#include "temp_dir.h"

namespace pc {
namespace {

using testing::RawImage;
using testing::TempDir;

struct HeaderCase {
    const char* name;
    std::uint16_t storedPageSize;
    std::uint32_t realPageSize;  // 0: the file is not a database
};

class ImageHeader : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(ImageHeader, AcceptsOnlyPageSizesSqliteAccepts) {
    const HeaderCase& c = GetParam();
    TempDir dir;
    const std::uint32_t fileBytes = c.realPageSize ? c.realPageSize * 3 : 4096;
    RawImage img(c.realPageSize ? c.realPageSize : 1024, 3, c.storedPageSize);
    img.bytes().resize(fileBytes);
    img.writeTo(dir.file("db"));

    const ImageLoad load = loadDatabaseImage(dir.file("db"));
    EXPECT_EQ(load.headerRead, SectorRead::Ok);
    ASSERT_EQ(load.image.has_value(), c.realPageSize != 0);
    if (load.image) {
        EXPECT_EQ(load.image->pageSize(), c.realPageSize);
        EXPECT_EQ(load.image->pageCount(), 3u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    PageSizes, ImageHeader,
    ::testing::Values(HeaderCase{"p512", 512, 512}, HeaderCase{"p4096", 4096, 4096},
                      HeaderCase{"p32768", 32768, 32768}, HeaderCase{"one_means_65536", 1, 65536},
                      HeaderCase{"zero", 0xFFFF, 0}, HeaderCase{"three", 3, 0},
                      HeaderCase{"p65535", 65535, 0}, HeaderCase{"p256", 256, 0},
                      HeaderCase{"p1000", 1000, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ImageLoader, ZeroPageSizeIsNotADatabase) {
    TempDir dir;
    RawImage img(1024, 2);
    img.putBe16(16, 0);
    img.writeTo(dir.file("db"));
    EXPECT_FALSE(loadDatabaseImage(dir.file("db")).image);
}

TEST(ImageLoader, ReadsEveryWholePageWhateverTheHeaderCounts) {
    struct Case {
        std::uint32_t storedCount;
        std::uint64_t fileBytes;
        std::uint32_t expectedCount;
        std::uint64_t missing, past;
    };
    for (const Case& c : std::vector<Case>{
             {0, 4 * 1024, 4, 0, 0},                          // old SQLite left it 0
             {100, 4 * 1024, 4, 96, 0},                       // claims more than the file holds
             {0xFFFFFFFF, 4 * 1024 + 300, 4, 0xFFFFFFFB, 0},  // a partial page is not loaded
             {2, 4 * 1024, 4, 0, 2},  // smaller than the file: the pages past it read too
         }) {
        TempDir dir;
        RawImage img(1024, 4);
        img.putBe32(28, c.storedCount);
        img.bytes().resize(c.fileBytes, 0xAB);
        img.writeTo(dir.file("db"));
        const ImageLoad load = loadDatabaseImage(dir.file("db"));
        ASSERT_TRUE(load.image);
        EXPECT_EQ(load.image->pageCount(), c.expectedCount) << c.storedCount;
        EXPECT_EQ(load.image->bytes().size(), std::uint64_t{c.expectedCount} * 1024);
        EXPECT_EQ(load.image->missingPages(), c.missing) << c.storedCount;
        EXPECT_EQ(load.image->pagesPastHeader(), c.past) << c.storedCount;
    }
}

TEST(ImageLoader, TellsWhyAFileIsNotADatabase) {
    TempDir dir;
    testing::writeBytes(dir.file("empty"), {});
    testing::writeBytes(dir.file("short"), std::vector<std::uint8_t>(100, 'x'));
    testing::writeBytes(dir.file("text"), std::vector<std::uint8_t>(600, 'x'));
    struct Case {
        const char* file;
        SectorRead read;
    };
    for (const Case& c : std::vector<Case>{{"empty", SectorRead::ShortRead},
                                           {"short", SectorRead::ShortRead},
                                           {"text", SectorRead::Ok},
                                           {"missing", SectorRead::OpenFailed}}) {
        const ImageLoad load = loadDatabaseImage(dir.file(c.file));
        EXPECT_EQ(load.headerRead, c.read) << c.file;
        EXPECT_FALSE(load.image) << c.file;
    }
}

TEST(ImageLoader, ReadsAWalModeFileWithoutWritingIt) {
    TempDir dir;
    RawImage img(1024, 3);
    img.bytes()[18] = img.bytes()[19] = 2;
    img.writeTo(dir.file("db"));
    ::chmod(dir.file("db").c_str(), 0444);

    const ImageLoad load = loadDatabaseImage(dir.file("db"));
    ASSERT_TRUE(load.image);
    EXPECT_EQ(load.image->pageCount(), 3u);
    EXPECT_EQ(testing::readBytes(dir.file("db")), img.bytes());
}

}  // namespace
}  // namespace pc
