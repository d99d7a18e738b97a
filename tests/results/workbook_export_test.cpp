// The workbook as another reader (openpyxl) reads it back: a category past a sheet's rows goes on
// over further sheets, a text past a cell's size keeps its beginning.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "temp_dir.h"
#include "workbook_export.h"

namespace pc {
namespace {

using testing::TempDir;

TEST(Workbook, GoesOnOverFurtherSheetsAndCutsTextsPastACellsSize) {
    if (std::system("/usr/bin/python3 -c 'import openpyxl' 2>/dev/null") != 0)
        GTEST_SKIP() << "python3-openpyxl is not installed";
    TempDir dir;
    ResultStore store;
    std::string longest;
    for (int i = 0; i < 40000; ++i)
        longest += "字";
    for (int i = 0; i < 7; ++i) {
        const std::string number = "0" + std::to_string(100 + i);
        store.append(PSMSvalue{number,
                               "2021-03-04 05:06:07",
                               "接收",
                               i == 6 ? longest : "x",
                               RecordState::Normal,
                               {0},
                               0});
    }
    const std::string book = dir.file("book.xlsx");
    const ExportRequest request{
        {CategoryCode::Sms}, OutputFormat::SpreadsheetCsv, TextEncoding::Utf8, nullptr};
    EXPECT_EQ(writeWorkbook(book, request, store, {}, 3).rows, 7u);

    testing::writeBytes(dir.file("read.py"), [] {
        const std::string script =
            "import openpyxl, sys\n"
            "wb = openpyxl.load_workbook(sys.argv[1])\n"
            "for ws in wb:\n"
            "    print(ws.title, [r[0].value for r in ws.iter_rows(min_row=2)],\n"
            "          max(len(r[4].value) for r in ws.iter_rows(min_row=2)))\n";
        return std::vector<std::uint8_t>(script.begin(), script.end());
    }());
    ASSERT_EQ(std::system(("/usr/bin/python3 '" + dir.file("read.py") + "' '" + book + "' >'" +
                           dir.file("out") + "'")
                              .c_str()),
              0);
    EXPECT_EQ(testing::readText(dir.file("out")),
              "短信 ['0100', '0101', '0102'] 1\n"
              "短信 (2) ['0103', '0104', '0105'] 1\n"
              "短信 (3) ['0106'] 32767\n");
}

}  // namespace
}  // namespace pc
