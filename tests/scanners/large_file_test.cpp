// Files of gigabytes: scanned to their end in little memory, with the right counts.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "scan_runner.h"
#include "sms_fixture.h"
#include "sms_scanner.h"
#include "temp_dir.h"

namespace pc {
namespace {

namespace fx = fixtures;
namespace fs = std::filesystem;

// Resident pages of mapped files (the image), from /proc: the process's peak would also count
// the sanitizer's shadow of every byte read, an eighth of the file.
std::uint64_t residentFileBytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("RssFile:", 0) == 0) return std::stoull(line.substr(8)) * 1024;
    return 0;
}

// A database whose last page is followed by holes up to 4.5 GB: a file that claims more than it
// holds, as a half-copied one does. The image is mapped, not copied, and pages the carver has
// passed are given back.
TEST(LargeFile, ScansASparseFileOfMoreThanFourGigabytesInLittleMemory) {
    testing::TempDir dir;
    const std::string path = dir.file("mmssms.db");
    fx::SmsDbOptions o;
    o.messages = 50;
    fx::buildSmsDatabase(path, o);
    constexpr std::uint64_t kSize = 4608ull << 20;  // 4.5 GB
    fs::resize_file(path, kSize);
    {
        // A page count of 0, as older SQLite left it: the file's length decides.
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(28);
        f.write("\0\0\0\0", 4);
    }
    testing::ScanRun run;
    std::uint64_t peakFile = 0;
    run.host.onPage = [&](std::uint32_t page) {
        if (page % 4096 == 0) peakFile = std::max(peakFile, residentFileBytes());
    };
    SmsScanner scanner;
    testing::runScan(run, scanner, CategoryCode::Sms, path);

    ASSERT_EQ(run.outcome, ScanOutcome::Completed);
    EXPECT_GT(run.store.count(CategoryCode::Sms), 30);
    const std::uint64_t pages = kSize / 4096;
    EXPECT_EQ(run.host.progressMax, pages - 1);
    ASSERT_FALSE(run.host.pages.empty());
    EXPECT_EQ(run.host.pages.back(), pages - 1);  // the progress reached the end
    EXPECT_GT(peakFile, 0u);
    EXPECT_LT(peakFile, kSize / 16) << "peak resident " << (peakFile >> 20) << " MB of the file";
}

// A generated database of a gigabyte: every message is found, as normal, once.
TEST(LargeFile, ScansAGigabyteDatabaseWithTheRightCounts) {
    testing::TempDir dir;
    const std::string path = dir.file("mmssms.db");
    fx::SmsDbOptions o;
    o.messages = 560000;
    o.bodyBytes = 1700;
    o.deleteFraction = 0;
    o.deleteOneThread = false;
    o.wordIndex = false;
    const fx::SmsFixture fixture = fx::buildSmsDatabase(path, o);
    ASSERT_GE(fs::file_size(path), 1000000000u);

    testing::ScanRun run;
    SmsScanner scanner;
    testing::runScan(run, scanner, CategoryCode::Sms, path);
    ASSERT_EQ(run.outcome, ScanOutcome::Completed);
    std::multiset<std::string_view> normal;
    for (const PSMSvalue& r : run.store.SmsRecords())
        if (r.state == RecordState::Normal) normal.insert(r.body);
    EXPECT_EQ(normal.size(), fixture.live.size());
    for (const fx::SmsMessage& m : fixture.live)
        EXPECT_EQ(normal.count(m.body), 1u) << m.id;
}

}  // namespace
}  // namespace pc
