#include <gtest/gtest.h>

#include "column_signature.h"

namespace pc {
namespace {

SignatureParams smsLike(SignatureParams::Tail tail = SignatureParams::Tail::AppendBlank) {
    return {"sms",
            tail,
            [](std::string_view item, std::string_view name) {
                return item.find("default") != std::string_view::npos || name == "type" ||
                       name == "date";
            },
            {"address", "date", "type", "body"}};
}

std::string rules(const ColumnSignature& sig) {
    std::string out;
    for (std::uint32_t i = 1; i < sig.columnCount; ++i) {
        const auto& f = sig.columns[i];
        out += (i > 1 ? "|" : "") + f.typeCode + ":" + std::to_string(f.maxSerialType) + ":" +
               std::to_string(f.required);
    }
    return out;
}

TEST(ColumnSignature, BuildsTheRulesOfTheSmsExample) {
    const auto sig = buildSignature(
        "CREATE TABLE sms (_id INTEGER PRIMARY KEY,thread_id INTEGER,address TEXT,date "
        "INTEGER,read INTEGER DEFAULT 0,type INTEGER,body TEXT)",
        smsLike());
    EXPECT_EQ(sig.columnCount, 7u);
    EXPECT_EQ(sig.firstColumn, 1u);
    EXPECT_EQ(rules(sig), "i:9:0|c:13:0|i:9:1|i:9:1|i:9:1|c:13:0");
    EXPECT_EQ(sig.wantedIndex, (std::vector<std::uint32_t>{2, 3, 5, 6}));
    EXPECT_EQ(sig.columnText,
              "_id INTEGER PRIMARY KEY,thread_id INTEGER,address TEXT,date INTEGER,read INTEGER "
              "DEFAULT 0,type INTEGER,body TEXT ");
    EXPECT_EQ(signatureText(sig).substr(0, 12), "SQLite*7*6*1");
    EXPECT_EQ(signatureText(sig),
              "SQLite*7*6*1*i:9:0|c:13:0|i:9:1|i:9:1|i:9:1|c:13:0*2*3*5*6*" + sig.columnText);
}

TEST(ColumnSignature, RecognisesKeywordsAndNamesInAnyCase) {
    const auto sig = buildSignature(
        "CREATE TABLE sms (_id Integer,Date integer,TYPE Int,date_sent INTEGER DEFAULT 0,"
        "Body TeXt,blob_col BLOB,bare)",
        smsLike());
    EXPECT_EQ(rules(sig), "i:9:1|:0:1|i:9:1|c:13:0|:0:0|:0:0");
    EXPECT_EQ(sig.wantedIndex, (std::vector<std::uint32_t>{0, 1, 2, 4}));  // no address
    EXPECT_EQ(sig.columns[1].name, "Date");
}

TEST(ColumnSignature, CountsEveryCommaAsAnItem) {
    // A DEFAULT value, a CHECK and a table constraint with commas each add items.
    const auto sig = buildSignature(
        "CREATE TABLE t (_id INTEGER PRIMARY KEY,a TEXT DEFAULT 'x,y',b INTEGER CHECK(b IN "
        "(1,2)),UNIQUE(a, b))",
        smsLike());
    EXPECT_EQ(sig.columnCount, 7u);
    EXPECT_EQ(sig.columns.size(), 7u);
    EXPECT_EQ(sig.columns[2].name, "y'");
    EXPECT_EQ(sig.columns[5].name, "UNIQUE(a");
}

TEST(ColumnSignature, AppliesEachScannersTail) {
    const std::string sql = "CREATE TABLE t (_id INTEGER,a INTEGER,b TEXT)";
    const auto append = buildSignature(sql, smsLike(SignatureParams::Tail::AppendBlank));
    const auto drop = buildSignature(sql, smsLike(SignatureParams::Tail::DropOneMore));
    const auto keep = buildSignature(sql, smsLike(SignatureParams::Tail::Keep));
    EXPECT_EQ(append.columnText, "_id INTEGER,a INTEGER,b TEXT ");
    EXPECT_EQ(drop.columnText, "_id INTEGER,a INTEGER,b TEX");
    EXPECT_EQ(keep.columnText, "_id INTEGER,a INTEGER,b TEXT");
    EXPECT_EQ(drop.columns[2].typeCode, "");  // the type word lost its last letter
    EXPECT_EQ(keep.columns[2].typeCode, "c");
    // With a blank before the parenthesis, dropping one more takes only the blank.
    EXPECT_EQ(buildSignature("CREATE TABLE t (_id INTEGER,b TEXT )",
                             smsLike(SignatureParams::Tail::DropOneMore))
                  .columns[1]
                  .typeCode,
              "c");
}

TEST(ColumnSignature, SurvivesDefinitionsWithoutAColumnList) {
    EXPECT_EQ(buildSignature("x", smsLike()).columnCount, 1u);
    EXPECT_EQ(buildSignature("(", smsLike()).columnText, " ");
    // A comma before the list: the last item stands in for the missing ones.
    const auto sig = buildSignature("CREATE TABLE \"a,b\"(x INTEGER)", smsLike());
    EXPECT_EQ(sig.columnCount, 2u);
    EXPECT_EQ(sig.columns[1].name, "x");
    EXPECT_EQ(buildSignature("", smsLike()).columnText, "");
}

}  // namespace
}  // namespace pc
