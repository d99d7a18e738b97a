// Hostile files through the carve of every table: schema, dropped tables from sqlite_master's
// deleted records, live rows, freeblocks, free pages. The first byte chooses the case:
//   0: the rest becomes the pages after a real first page of a database with a few tables of
//      every kind (so the schema names b-trees among arbitrary pages);
//   anything else: the rest is the whole file, header included.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "memory_file.h"
#include "sqlite_db.h"
#include "table_recovery.h"
#include "temp_dir.h"

namespace {

constexpr std::uint32_t kPage = 512;

std::vector<std::uint8_t> firstPage;

void buildFirstPage() {
    pc::testing::TempDir dir;
    const std::string path = dir.file("t.db");
    {
        pc::fixtures::SqliteDb db(path);
        db.exec(
            "PRAGMA page_size=512; PRAGMA secure_delete=0;"
            "CREATE TABLE a(id INTEGER PRIMARY KEY, t TEXT, n INT, r REAL, b BLOB);"
            "CREATE TABLE w(k TEXT, v, PRIMARY KEY(v, k)) WITHOUT ROWID;"
            "CREATE VIRTUAL TABLE f USING fts4(x);"
            "CREATE TABLE gone(x TEXT); DROP TABLE gone;"
            "INSERT INTO a VALUES(1, 'text', 2, 3.5, x'00ff');");
    }
    firstPage = pc::testing::readBytes(path);
    firstPage.resize(kPage);
    firstPage[28] = firstPage[29] = firstPage[30] = firstPage[31] = 0;  // the file's length decides
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    buildFirstPage();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::vector<std::uint8_t> file;
    if (data[0] == 0) file = firstPage;
    file.insert(file.end(), data + 1, data + size);
    pc::fuzz::MemoryFile memory(file.data(), file.size());
    try {
        const pc::Recovery r = pc::recoverTables(memory.path());
        for (const pc::RecoveredRow& row : r.rows)
            if (row.table >= r.tables.size() ||
                row.values.size() != r.tables[row.table].columns.size())
                __builtin_trap();
    } catch (const pc::NotADatabase&) {
    }
    return 0;
}
