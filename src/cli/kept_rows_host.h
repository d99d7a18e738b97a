// Scan events for the commands that keep every row and write them at the end (the report, the
// workbook): each category's start and totals on standard error, failures always.
#pragma once

#include "scan_events.h"

namespace pc::cli {

class KeptRowsHost : public ScanEvents {
  public:
    explicit KeptRowsHost(bool quiet) : quiet_(quiet) {}
    void started(CategoryCode code) override;
    void noted(const SourceNote&) override {}
    void progressRange(std::uint32_t, std::uint32_t) override {}
    void pageReached(std::uint32_t) override {}
    void idle() override {}
    void rowKept(CategoryCode, std::uint32_t, RecordState) override {}
    void finished(CategoryCode code, std::int32_t found, std::int32_t deleted) override;
    void failed(CategoryCode code, const ScanFailure& failure) override;

  private:
    bool quiet_;
};

}  // namespace pc::cli
