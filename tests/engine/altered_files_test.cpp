// Files whose structures lie: copies of one database, each with one structure altered. The carve
// lists the rows whose bytes remain, each once, next to nothing else, without a crash or a hang.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "altered_files.h"
#include "table_recovery.h"
#include "temp_dir.h"

namespace pc {
namespace {

std::string text(const FieldValue& v) {
    if (const auto* n = std::get_if<std::int64_t>(&v)) return std::to_string(*n);
    if (const auto* t = std::get_if<std::string>(&v)) return *t;
    return "NULL";
}

// A row as the base's rows are written: the row id stands for a lost INTEGER PRIMARY KEY.
std::string rowText(const Recovery& r, const RecoveredRow& row) {
    const TableShape& t = r.tables[row.table];
    std::string s = t.name;
    for (std::size_t i = 0; i < row.values.size(); ++i) {
        const bool key = static_cast<int>(i) == t.rowidColumn;
        s += "|" + (key && row.rowid ? std::to_string(*row.rowid) : text(row.values[i]));
    }
    return s;
}

struct Shared {
    testing::TempDir dir;
    std::vector<std::string> rows;
    std::vector<fixtures::AlteredFile> files;
    Shared() {
        const std::string base = dir.file("base.db");
        rows = fixtures::buildAlterationBase(base);
        files = fixtures::alteredCopies(base, dir.path().string());
    }
};

const Shared& shared() {
    static const Shared s;
    return s;
}

class AlteredFile : public ::testing::TestWithParam<std::size_t> {};

TEST_P(AlteredFile, ListsTheRowsWhoseBytesRemainOnceAndLittleElse) {
    const fixtures::AlteredFile& f = shared().files.at(GetParam());
    const std::string path = shared().dir.file(f.name + ".db");
    testing::writeBytes(path, f.bytes);
    const std::string bytes(f.bytes.begin(), f.bytes.end());

    const Recovery r = recoverTables(path);
    std::map<std::string, int> listed;
    std::set<std::string> normal;
    for (const RecoveredRow& row : r.rows) {
        ++listed[rowText(r, row)];
        if (row.state == RecordState::Normal) normal.insert(rowText(r, row));
    }
    // The rows whose last text is still in the file whole.
    std::size_t remaining = 0, found = 0, live = 0, noise = 0;
    const std::set<std::string> written(shared().rows.begin(), shared().rows.end());
    for (const std::string& row : shared().rows) {
        if (bytes.find(row.substr(row.rfind('|') + 1)) == std::string::npos) continue;
        ++remaining;
        found += listed.count(row) > 0;
        live += normal.count(row);  // every row of the base is live
    }
    for (const auto& [row, times] : listed) {
        EXPECT_EQ(times, 1) << f.name << ": listed " << times << " times: " << row.substr(0, 60);
        noise += written.count(row) == 0;
    }
    EXPECT_GE(remaining * 5, written.size() * 2) << f.name << ": the alteration left too little";
    EXPECT_GE(found * 100, remaining * 95) << f.name << ": " << found << " of " << remaining;
    EXPECT_LE(noise * 100, r.rows.size()) << f.name << ": " << noise << " rows of nothing";
    // Live rows the structures hide are still live: found on table leaves nothing reaches.
    EXPECT_GE(live * 100, remaining * 95)
        << f.name << ": " << live << " of " << remaining << " listed normal";
}

INSTANTIATE_TEST_SUITE_P(Alterations, AlteredFile,
                         ::testing::Range<std::size_t>(0, shared().files.size()),
                         [](const auto& info) { return shared().files.at(info.param).name; });

}  // namespace
}  // namespace pc
