// The hand-over of rows from the scan to the writing thread.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "row_pipe.h"

namespace pc::cli {
namespace {

std::string body(int i) {
    return "message " + std::to_string(i) + std::string(static_cast<std::size_t>(i % 97), 'x');
}

// Rows come from a store that keeps only the last one, as the command line's does; many batches'
// worth arrive whole and in order, headers in their places, and a batch whose writing threw is
// said by the next drain, once, while later rows still go out.
TEST(RowPipe, HandsOverEveryRowInOrderAndSaysWhatWritingThrew) {
    ResultStore scan;
    scan.passRowsThrough(true);
    std::vector<std::string> written;
    bool failOnce = true;
    RowPipe pipe([&](const ResultStore& rows, std::span<const RowPipe::Item> items) {
        for (const RowPipe::Item& item : items) {
            if (item.header) {
                written.push_back("header");
                continue;
            }
            written.emplace_back(rows.rowCells(item.code, item.index).cells[4]);
            if (written.size() == 5000 &&
                std::exchange(failOnce, false))  // the header and 4999 rows
                throw std::runtime_error("disk full");
        }
    });
    constexpr int kRows = 20000;  // several quarter-megabyte batches
    pipe.header(CategoryCode::Sms);
    std::string said;
    for (int i = 0; i < kRows; ++i) {
        const std::string text = body(i);
        const std::uint32_t index = scan.append(
            PSMSvalue{"10086", "2013-05-17", "接收", text, RecordState::Normal, {0}, 0});
        pipe.row(scan, CategoryCode::Sms, index);
    }
    try {
        pipe.drain();
    } catch (const std::runtime_error& e) {
        said = e.what();
    }
    EXPECT_EQ(said, "disk full");
    EXPECT_NO_THROW(pipe.drain());

    // The batch that threw lost its rows after the 5000th; every other row is there, in order.
    ASSERT_GE(written.size(), 5001u);
    EXPECT_EQ(written[0], "header");
    int next = 0;
    for (std::size_t w = 1; w < written.size(); ++w) {
        while (next < kRows && written[w] != body(next))
            ++next;
        ASSERT_LT(next, kRows) << "row " << w << " out of order: " << written[w];
        ++next;
    }
    EXPECT_EQ(written.back(), body(kRows - 1));
    EXPECT_EQ(written[4999], body(4998));
    EXPECT_LT(written.size(), kRows + 1u);
}

}  // namespace
}  // namespace pc::cli
