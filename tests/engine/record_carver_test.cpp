#include <gtest/gtest.h>

#include <optional>
#include <random>

#include "raw_image.h"
#include "record_carver.h"
#include "temp_dir.h"

namespace pc {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::RawImage;

struct Found {
    std::uint64_t pos;
    RecordState state;
    std::vector<std::string> texts;
};

class Collector : public CarveVisitor {
  public:
    explicit Collector(std::uint32_t columns) : columns_(columns) {}
    bool onPage(std::uint32_t page) override {
        pages.push_back(page);
        return !stopRequested;
    }
    CarveStep onRecord(const CarvedRecord& r) override {
        Found f{r.position(), r.state(), {}};
        for (std::uint32_t c = 1; c < columns_; ++c)
            f.texts.push_back(r.text(c));
        found.push_back(f);
        if (onFound) onFound(r);
        return step;
    }
    std::vector<std::uint32_t> pages;
    std::vector<Found> found;
    bool stopRequested = false;
    CarveStep step = CarveStep::NextByte;
    std::function<void(const CarvedRecord&)> onFound;

  private:
    std::uint32_t columns_;
};

// Zeros and small bytes elsewhere in a page fit short signatures too, so tests look at the
// positions where they placed records.
const Found* foundAt(const std::vector<Found>& found, std::uint64_t pos) {
    for (const Found& f : found)
        if (f.pos == pos) return &f;
    return nullptr;
}

SignatureParams byDefault() {
    return {"t",
            SignatureParams::Tail::Keep,
            [](std::string_view item, std::string_view) {
                return item.find("default") != std::string_view::npos;
            },
            {}};
}

// n INTEGER (optional), s TEXT, r INTEGER DEFAULT 0 (required)
const char* kTable =
    "CREATE TABLE t (_id INTEGER PRIMARY KEY,n INTEGER,s TEXT,r INTEGER DEFAULT 0)";
// n = 5, s = "hi", r = 300
const Bytes kRecord = {0x01, 0x11, 0x02, 0x05, 'h', 'i', 0x01, 0x2C};

std::vector<Found> carveImage(RawImage& img, const char* sql, Collector* collector = nullptr,
                              SerialTypeSet refused = serialTypeSet({0, 6, 7})) {
    testing::TempDir dir;
    img.writeTo(dir.file("db"));
    const ImageLoad load = loadDatabaseImage(dir.file("db"));
    const ColumnSignature sig = buildSignature(sql, byDefault());
    Collector own(sig.columnCount);
    Collector& c = collector ? *collector : own;
    RecordCarver(sig, refused).carve(*load.image, c);
    return c.found;
}

TEST(RecordCarver, DecodesARecordAndJudgesItsStateByThePage) {
    RawImage img(1024, 5);
    img.leafPage(1, {100}).put(img.pageStart(1) + 105, kRecord);  // live cell: col 1 at +5
    img.put(img.pageStart(2) + 105, kRecord);                     // not a leaf page
    img.leafPage(3, {100}).put(img.pageStart(3) + 112, kRecord);  // 12 bytes after the cell
    img.put(img.pageStart(0) + 600, kRecord);                     // the first page: never read
    const auto found = carveImage(img, kTable);

    const Found* live = foundAt(found, img.pageStart(1) + 105);
    ASSERT_TRUE(live);
    EXPECT_EQ(live->state, RecordState::Normal);
    EXPECT_EQ(live->texts, (std::vector<std::string>{"5", "hi", "300"}));
    ASSERT_TRUE(foundAt(found, img.pageStart(2) + 105));
    EXPECT_EQ(foundAt(found, img.pageStart(2) + 105)->state, RecordState::Deleted);
    ASSERT_TRUE(foundAt(found, img.pageStart(3) + 112));
    EXPECT_EQ(foundAt(found, img.pageStart(3) + 112)->state, RecordState::Deleted);
    for (const Found& f : found)
        EXPECT_GE(f.pos, img.pageStart(1));
}

TEST(RecordCarver, CountsAsLiveOnlyRecordsOneToElevenBytesAfterAListedCell) {
    for (std::uint16_t gap = 0; gap <= 13; ++gap) {
        RawImage img(1024, 2);
        img.leafPage(1, {300}).put(img.pageStart(1) + 300 + gap, kRecord);
        const auto found = carveImage(img, kTable);
        const Found* f = foundAt(found, img.pageStart(1) + 300 + gap);
        ASSERT_TRUE(f) << gap;
        EXPECT_EQ(f->state, gap >= 1 && gap <= 11 ? RecordState::Normal : RecordState::Deleted)
            << gap;
    }
}

struct IntCase {
    std::uint8_t optionalType;
    std::uint8_t requiredType;
    bool found;
};

class IntegerRule : public ::testing::TestWithParam<IntCase> {};

TEST_P(IntegerRule, RequiredColumnsRefuseNullAndTheScannersRefusedTypes) {
    const IntCase& c = GetParam();
    RawImage img(1024, 2);
    // Bodies of 8 zero bytes at most follow; zeros stop any other candidate.
    img.put(img.pageStart(1) + 40, {c.optionalType, 0x0D, c.requiredType});
    EXPECT_EQ(foundAt(carveImage(img, kTable), img.pageStart(1) + 40) != nullptr, c.found);
}

INSTANTIATE_TEST_SUITE_P(SerialTypes, IntegerRule,
                         ::testing::Values(IntCase{1, 1, true}, IntCase{0, 1, true},
                                           IntCase{6, 1, true}, IntCase{7, 1, false},
                                           IntCase{10, 1, false}, IntCase{1, 0, false},
                                           IntCase{1, 6, false}, IntCase{1, 7, false},
                                           IntCase{1, 8, true}, IntCase{1, 9, true},
                                           IntCase{1, 5, true}, IntCase{1, 10, false}));

TEST(RecordCarver, TheContactsRuleLetsARequiredEightByteIntegerThrough) {
    RawImage img(1024, 2);
    img.put(img.pageStart(1) + 40, {0x01, 0x0D, 0x06, 0x07, 0, 0, 0, 0, 0, 0, 0, 0x2A});
    const std::uint64_t at = img.pageStart(1) + 40;
    EXPECT_TRUE(foundAt(carveImage(img, kTable, nullptr, serialTypeSet({0, 7})), at));
    EXPECT_FALSE(foundAt(carveImage(img, kTable), at));
}

TEST(RecordCarver, TextColumnsTakeEmptyNullOrOddLengthsUpToThePageSize) {
    struct Case {
        Bytes serial;
        bool found;
    };
    for (const Case& c : std::vector<Case>{
             {{0x0D}, true},         // empty text
             {{0x00}, true},         // NULL
             {{0x0F}, true},         // one byte
             {{0x0E}, false},        // blob
             {{0x0C}, false},        // empty blob
             {{0x0B}, false},        // reserved
             {{0x87, 0x71}, true},   // 1009: 498 bytes, fits a 1024 page
             {{0x88, 0x03}, false},  // 1027: odd but above the page size
             {{0x80, 0x0D}, false},  // a varint SQLite never writes
         }) {
        RawImage img(1024, 3);
        Bytes rec(c.serial.size() + 2, 0x01);
        std::copy(c.serial.begin(), c.serial.end(), rec.begin() + 1);
        rec.back() = 0x09;
        img.put(img.pageStart(1) + 40, rec);
        EXPECT_EQ(foundAt(carveImage(img, kTable), img.pageStart(1) + 40) != nullptr, c.found)
            << int(c.serial[0]);
    }
}

TEST(RecordCarver, LooksForNoHeaderWithMoreThanFourExtraBytes) {
    const char* fiveTexts =
        "CREATE TABLE t (_id INTEGER PRIMARY KEY,a TEXT,b TEXT,c TEXT,d TEXT,e TEXT)";
    for (int longTexts = 3; longTexts <= 5; ++longTexts) {
        RawImage img(4096, 3);
        Bytes header, body;
        for (int i = 0; i < 5; ++i) {
            if (i < longTexts) {
                header.push_back(0x81);  // 129: a 58-byte text
                header.push_back(0x01);
                body.insert(body.end(), 58, 'x');
            } else {
                header.push_back(0x0F);
                body.push_back('y');
            }
        }
        header.insert(header.end(), body.begin(), body.end());
        img.put(img.pageStart(1) + 64, header);
        const auto found = carveImage(img, fiveTexts);
        const Found* f = foundAt(found, img.pageStart(1) + 64);
        ASSERT_EQ(f != nullptr, longTexts <= 4) << longTexts;
        if (f) {
            EXPECT_EQ(f->texts[0], std::string(58, 'x'));
        }
    }
}

TEST(RecordCarver, NeverReadsPastTheImage) {
    RawImage img(1024, 2);
    const std::uint64_t end = img.bytes().size();
    img.put(end - 7, Bytes(kRecord.begin(), kRecord.begin() + 7));  // body cut by the end
    img.put(end - 3, {0x01, 0x81});                                 // header cut by the end
    img.leafPage(1, {});
    img.putBe16(img.pageStart(1) + 3, 0xFFFF);  // more cells than the page can list
    for (const Found& f : carveImage(img, kTable))
        EXPECT_LT(f.pos, end - 7);
}

TEST(RecordCarver, StopsAtThePageAfterAStopRequest) {
    RawImage img(1024, 6);
    for (std::uint32_t p = 1; p < 6; ++p) {
        img.put(img.pageStart(p) + 100, kRecord);
        img.put(img.pageStart(p) + 400, kRecord);
    }
    const auto sig = buildSignature(kTable, byDefault());
    Collector c(sig.columnCount);
    c.onFound = [&](const CarvedRecord& r) {
        if (r.position() == img.pageStart(3) + 100) c.stopRequested = true;
    };
    const auto found = carveImage(img, kTable, &c);
    EXPECT_EQ(c.pages, (std::vector<std::uint32_t>{1, 2, 3, 4}));
    EXPECT_TRUE(foundAt(found, img.pageStart(3) + 400));  // page 3 was carved to its end
    for (const Found& f : found)
        EXPECT_LT(f.pos, img.pageStart(4));
}

TEST(RecordCarver, ReadsAFieldAsANumberAsItsTextWouldRead) {
    const char* sql = "CREATE TABLE t (_id INTEGER PRIMARY KEY,x,r INTEGER DEFAULT 0)";
    using K = FieldNumber::Kind;
    struct Case {
        Bytes header;  // serial type of x, then r's (1: one byte, 0x2A)
        Bytes body;    // x's body
        K kind;
        std::int64_t value;
    };
    for (const Case& c : std::vector<Case>{
             {{0x01, 0x01}, {0x05}, K::Number, 5},
             {{0x08, 0x01}, {}, K::Number, 0},
             {{0x00, 0x01}, {}, K::Missing, 0},
             {{0x0D, 0x01}, {}, K::Missing, 0},                    // empty text
             {{0x15, 0x01}, {'N', 'U', 'L', 'L'}, K::Missing, 0},  // the text "NULL"
             {{0x11, 0x01}, {'1', '2'}, K::Number, 12},
             {{0x11, 0x01}, {'a', 'b'}, K::Other, 0},
             {{0x07, 0x01}, {0x40, 0x08, 0, 0, 0, 0, 0, 0}, K::Number, 3},  // 3.0 reads "3"
             {{0x06, 0x01}, Bytes(8, 0xFF), K::Other, 0},  // beyond 64-bit signed, as its text
         }) {
        RawImage img(1024, 2);
        Bytes rec = c.header;
        rec.insert(rec.end(), c.body.begin(), c.body.end());
        rec.push_back(0x2A);
        img.bytes()[img.pageStart(1) + 99] = 0x0A;  // no candidate just before
        img.put(img.pageStart(1) + 100, rec);
        const auto sig = buildSignature(sql, byDefault());
        Collector collect(sig.columnCount);
        std::optional<FieldNumber> got;
        collect.onFound = [&](const CarvedRecord& r) {
            if (r.position() == img.pageStart(1) + 100) got = r.number(1);
        };
        carveImage(img, sql, &collect);
        ASSERT_TRUE(got) << int(c.header[0]);
        EXPECT_EQ(got->kind, c.kind) << int(c.header[0]);
        if (c.kind == K::Number) {
            EXPECT_EQ(got->value, c.value) << int(c.header[0]);
        }
    }
}

TEST(RecordCarver, FindsTheSameRecordsWhateverItsVectorWidth) {
    // A page of each kind of byte the prefix test sees: random bytes, small integers, zeros,
    // and real records near the end of the image where the vectors no longer fit.
    RawImage img(1024, 6);
    std::mt19937 rng(7);
    for (std::uint64_t i = img.pageStart(1); i < img.pageStart(2); ++i)
        img.bytes()[i] = static_cast<std::uint8_t>(rng());
    for (std::uint64_t i = img.pageStart(2); i < img.pageStart(3); ++i)
        img.bytes()[i] = static_cast<std::uint8_t>(rng() % 12);
    for (std::uint64_t i = img.pageStart(4); i < img.pageStart(5); ++i)
        img.bytes()[i] = static_cast<std::uint8_t>(rng() % 3 == 0 ? 0x81 + rng() % 4 : rng() % 20);
    for (std::uint64_t at : {img.pageStart(3) + 7, img.pageStart(5) + 1000, img.pageStart(6) - 9})
        img.put(at, kRecord);
    testing::TempDir dir;
    img.writeTo(dir.file("db"));
    const ImageLoad load = loadDatabaseImage(dir.file("db"));
    for (const char* sql :
         {kTable, "CREATE TABLE t (_id INTEGER PRIMARY KEY,a TEXT,b,c INTEGER,d TEXT)"}) {
        const ColumnSignature sig = buildSignature(sql, byDefault());
        using V = RecordCarver::Vectors;
        std::vector<std::uint64_t> found[3];
        for (V vectors : {V::None, V::Sse2, V::Widest}) {
            Collector c(sig.columnCount);
            RecordCarver(sig, serialTypeSet({0, 6, 7}), vectors).carve(*load.image, c);
            for (const Found& f : c.found)
                found[static_cast<int>(vectors)].push_back(f.pos);
        }
        EXPECT_EQ(found[1], found[2]) << sql;  // SSE2 and the widest
        EXPECT_EQ(found[2], found[0]) << sql;  // the vectors and one position at a time
        EXPECT_GT(found[0].size(), 3u) << sql;
    }
}

TEST(RecordCarver, GoesOnAfterTheHeaderWhenTheScannerAsks) {
    const char* twoInts = "CREATE TABLE t (_id INTEGER PRIMARY KEY,n INTEGER,m INTEGER DEFAULT 0)";
    RawImage img(1024, 2);
    img.put(img.pageStart(1) + 49, {0x0A, 0x08, 0x08, 0x08, 0x08});
    EXPECT_EQ(carveImage(img, twoInts).size(), 3u);
    const auto sig = buildSignature(twoInts, byDefault());
    Collector skip(sig.columnCount);
    skip.step = CarveStep::SkipHeader;
    EXPECT_EQ(carveImage(img, twoInts, &skip).size(), 2u);
}

}  // namespace
}  // namespace pc
