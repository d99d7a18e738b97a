#include <gtest/gtest.h>

#include <optional>
#include <random>

#include "raw_image.h"
#include "record_carver.h"

namespace pc {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::RawImage;

struct Found {
    std::uint64_t pos;
    std::vector<std::string> texts;
    CarvedOverflow overflow;
};

class Collector : public CarveVisitor {
  public:
    explicit Collector(std::uint32_t columns) : columns_(columns) {}
    CarveStep onRecord(const CarvedRecord& r, const CarvedOverflow& o) override {
        EXPECT_EQ(r.state(), RecordState::Deleted);
        Found f{r.position(), {}, o};
        for (std::uint32_t c = 1; c < columns_; ++c)
            f.texts.push_back(r.text(c));
        found.push_back(f);
        if (onFound) onFound(r);
        return step;
    }
    std::vector<Found> found;
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

// Carves every page after the first one whole, as a page of unused space.
std::vector<Found> carveImage(RawImage& img, const char* sql, Collector* collector = nullptr,
                              SerialTypeSet refused = serialTypeSet({0, 6, 7}),
                              std::uint32_t reserved = 0) {
    const ColumnSignature sig = buildSignature(sql, byDefault());
    Collector own(sig.columnCount);
    Collector& c = collector ? *collector : own;
    RecordCarver carver(sig, refused);
    const std::uint32_t pageSize = static_cast<std::uint32_t>(img.pageStart(1));
    for (std::uint64_t at = pageSize; at < img.bytes().size(); at += pageSize)
        carver.carveRange({img.bytes(), at, pageSize, pageSize - reserved}, 0, pageSize, c);
    return c.found;
}

TEST(RecordCarver, DecodesARecordWhereverItLiesInAPageButNotOnTheFirstPage) {
    RawImage img(1024, 4);
    img.leafPage(1, {100}).put(img.pageStart(1) + 105, kRecord);  // in a listed cell
    img.put(img.pageStart(2) + 105, kRecord);                     // not a leaf page
    img.put(img.pageStart(0) + 600, kRecord);                     // the first page: never read
    const auto found = carveImage(img, kTable);

    for (std::uint64_t at : {img.pageStart(1) + 105, img.pageStart(2) + 105}) {
        const Found* f = foundAt(found, at);
        ASSERT_TRUE(f) << at;
        EXPECT_EQ(f->texts, (std::vector<std::string>{"5", "hi", "300"}));
        EXPECT_EQ(f->overflow.payloadSize, 10u);  // header size, column 0, then kRecord
        EXPECT_EQ(f->overflow.payloadStart, at - 2);
        EXPECT_EQ(f->overflow.firstPage, 0u);
    }
    for (const Found& f : found)
        EXPECT_GE(f.pos, img.pageStart(1));
}

TEST(RecordCarver, PlacesARecordOnlyWhereSqliteCouldHaveLaidItsCellOut) {
    // t: a TEXT, b INTEGER DEFAULT 0. A 900-byte text fits a 1024-byte page locally; 990 bytes
    // need an overflow page, with the local part SQLite's formula gives and a page number after it.
    const char* sql = "CREATE TABLE t (_id INTEGER PRIMARY KEY,a TEXT,b INTEGER DEFAULT 0)";
    auto record = [](std::size_t length) {
        const std::uint64_t t = 13 + 2 * length;
        Bytes r{static_cast<std::uint8_t>(0x80 | (t >> 7)), static_cast<std::uint8_t>(t & 0x7F),
                0x01};
        r.insert(r.end(), length, 'x');
        r.push_back(0x2A);
        return r;
    };
    struct Case {
        std::size_t length;
        std::uint64_t at;  // in page 1
        bool found;
        std::uint32_t local;
    };
    for (const Case& c : std::vector<Case>{
             {900, 40, true, 906},  // all local
             {900, 2, false, 0},    // no room before it for the cell's first varints
             {900, 200, false, 0},  // runs past the end of the page
             {990, 40, true, 103},  // overflow: the local part, then the page number
             {990, 930, false, 0},  // its overflow page number would pass the page's end
         }) {
        RawImage img(1024, 3);  // page 2 takes what runs past page 1
        img.put(img.pageStart(1) + c.at, record(c.length));
        if (c.found && c.local < c.length) img.putBe32(img.pageStart(1) + c.at - 2 + c.local, 7);
        const auto found = carveImage(img, sql);
        const Found* f = foundAt(found, img.pageStart(1) + c.at);
        ASSERT_EQ(f != nullptr, c.found) << c.length << " at " << c.at;
        if (!f) continue;
        EXPECT_EQ(f->overflow.localSize, c.local) << c.length;
        EXPECT_EQ(f->overflow.payloadSize, c.length + 6) << c.length;
        EXPECT_EQ(f->overflow.firstPage, c.local < c.length ? 7u : 0u) << c.length;
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

TEST(RecordCarver, TextColumnsTakeEmptyNullOrOddLengthsOfUpToThreeVarintBytes) {
    struct Case {
        Bytes serial;
        bool found;
    };
    for (const Case& c : std::vector<Case>{
             {{0x0D}, true},                     // empty text
             {{0x00}, true},                     // NULL
             {{0x0F}, true},                     // one byte
             {{0x0E}, false},                    // blob
             {{0x0C}, false},                    // empty blob
             {{0x0B}, false},                    // reserved
             {{0x87, 0x71}, true},               // 1009: 498 bytes
             {{0x88, 0x03}, true},               // 1027: 507 bytes, longer than half a page
             {{0x81, 0x80, 0x1D}, true},         // 16413: 8200 bytes, on overflow pages
             {{0x81, 0x80, 0x80, 0x1D}, false},  // more than a megabyte
             {{0x80, 0x0D}, false},              // a varint SQLite never writes
         }) {
        RawImage img(4096, 3);
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

TEST(RecordCarver, NeverReadsPastThePageOrItsUsableBytes) {
    RawImage img(1024, 2);
    const std::uint64_t end = img.bytes().size();
    img.put(end - 7, Bytes(kRecord.begin(), kRecord.begin() + 7));  // body cut by the end
    img.put(end - 3, {0x01, 0x81});                                 // header cut by the end
    img.put(end - 36, kRecord);  // whole, but reaching into the 32 reserved bytes at the end
    img.put(end - 60, kRecord);  // whole, before them
    const auto found = carveImage(img, kTable, nullptr, serialTypeSet({0, 6, 7}), 32);
    EXPECT_TRUE(foundAt(found, end - 60));
    for (const Found& f : found)
        EXPECT_LE(f.overflow.payloadStart + f.overflow.payloadSize, end - 32);
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
    for (const char* sql :
         {kTable, "CREATE TABLE t (_id INTEGER PRIMARY KEY,a TEXT,b,c INTEGER,d TEXT)"}) {
        const ColumnSignature sig = buildSignature(sql, byDefault());
        using V = RecordCarver::Vectors;
        std::vector<std::uint64_t> found[3];
        for (V vectors : {V::None, V::Sse2, V::Widest}) {
            Collector c(sig.columnCount);
            RecordCarver carver(sig, serialTypeSet({0, 6, 7}), vectors);
            for (std::uint32_t p = 1; p < 6; ++p)
                carver.carveRange({img.bytes(), img.pageStart(p), 1024, 1024}, 0, 1024, c);
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
