// What a report says of the files a run read: each taken before the run and again for the report.
#include <gtest/gtest.h>

#include <filesystem>

#include "html_report.h"
#include "run_facts.h"
#include "temp_dir.h"

namespace pc {
namespace {

using testing::TempDir;

TEST(RunFacts, TellsFilesKeptChangedAndGoneApart) {
    TempDir dir;
    const std::string kept = dir.file("mmssms.db"), changed = dir.file("contacts2.db");
    testing::writeBytes(kept, {1, 2, 3});
    testing::writeBytes(changed, {4, 5, 6});
    testing::writeBytes(changed + "-wal", {7});
    RunPlan plan;
    plan.queue(CategoryCode::Sms, kept);
    plan.queue(CategoryCode::Contacts, changed);
    plan.queue(CategoryCode::CallLog, changed);                 // read twice, listed once
    plan.queue(CategoryCode::CallLog, dir.file("calllog.db"));  // not there: the run says so

    const RunFacts run = factsBeforeRun(plan);
    ASSERT_EQ(run.before.size(), 3u);
    EXPECT_EQ(run.before[2].path, changed + "-wal");
    EXPECT_EQ(run.before[0].sha256,
              "039058c6f2c0cb492c533b0a4d14ef77cc0f78abccced5287d84a1a2011cfb81");

    testing::writeBytes(changed, {4, 5, 7});
    std::filesystem::remove(changed + "-wal");
    ReportFacts facts = reportFactsOf(run, 0);
    ASSERT_EQ(facts.sources.size(), 3u);
    EXPECT_EQ(facts.sources[0].second.sha256, run.before[0].sha256);
    EXPECT_NE(facts.sources[1].second.sha256, run.before[1].sha256);
    EXPECT_EQ(facts.sources[2].second.sha256, "");

    const ResultStore store;
    writeHtmlReport(dir.file("report"), facts, store);
    const std::string index = testing::readText(dir.file("report/index.html"));
    EXPECT_NE(index.find("<td>一致</td>"), std::string::npos);
    EXPECT_NE(index.find("不一致"), std::string::npos);
    EXPECT_NE(index.find("文件已删除"), std::string::npos);
}

}  // namespace
}  // namespace pc
