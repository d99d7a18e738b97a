// The window's words for a scan: its events as the tree, the report list, the status panels, the
// log and the message boxes show them.
#pragma once

#include "scan_events.h"
#include "scan_host.h"
#include "table_recovery.h"

namespace pc {

class WindowWords : public ScanEvents {
  public:
    explicit WindowWords(ScanHost& host) : host_(host) {}

    void started(CategoryCode code) override;
    void noted(const SourceNote& note) override;
    void progressRange(std::uint32_t maximum, std::uint32_t stepBytes) override {
        host_.setProgressRange(maximum, stepBytes);
    }
    void pageReached(std::uint32_t index) override;
    void idle() override;
    void rowKept(CategoryCode code, std::uint32_t index, RecordState state) override;
    void finished(CategoryCode code, std::int32_t found, std::int32_t deleted) override;
    void failed(CategoryCode code, const ScanFailure& failure) override;
    // The last scan's counts.
    std::int32_t found() const { return found_; }
    std::int32_t deleted() const { return deleted_; }

  private:
    // The running count: the window shows it when it next lets events run, so the text is not
    // rebuilt for every row.
    void flushCount();

    ScanHost& host_;
    CategoryCode code_ = CategoryCode::Sms;
    std::int32_t found_ = 0, deleted_ = 0;
    bool countChanged_ = false;
};

// The window's words for the carve of every table of a file: its rows into `store`, the
// progress, the running count, the log and the status as a scan shows them; at its end the
// "其它表" branch.
class CarveWords : public CarveEvents {
  public:
    CarveWords(ScanHost& host, RecoveredRowStore& store) : host_(host), store_(store) {}

    // A carve of `path` begins: the store is emptied.
    void started(const std::string& path);
    void noted(const SourceNote& note) override;
    void progressRange(std::uint32_t maximum, std::uint32_t stepBytes) override {
        host_.setProgressRange(maximum, stepBytes);
    }
    void pageReached(std::uint32_t index) override;
    void idle() override;
    void tableFound(std::size_t index, const TableShape& table) override;
    void rowFound(const RecoveredRowView& row) override;
    // It ended, or was stopped: what it found is shown.
    void finished(bool stopped);
    void failed(const std::string& reason);
    std::int32_t found() const { return found_; }
    std::int32_t deleted() const { return deleted_; }

  private:
    void flushCount();

    ScanHost& host_;
    RecoveredRowStore& store_;
    std::string path_;
    std::int32_t found_ = 0, deleted_ = 0;
    bool countChanged_ = false;
};

// "扫描完成,共找到 12 条短信, 其中有2条删除".
std::string totalsText(CategoryCode code, std::int32_t found, std::int32_t deleted);
// The texts of a scan's early end, as the window's boxes say them.
std::string failureText(CategoryCode code, const ScanFailure& failure);
// The log's line for a note about the files read.
std::string noteText(const SourceNote& note);

}  // namespace pc
