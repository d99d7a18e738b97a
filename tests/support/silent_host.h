// A scan host that shows nothing; for fuzz targets and benchmarks.
#pragma once

#include "scan_host.h"

namespace pc::testing {

class SilentHost : public ScanHost {
  public:
    void clearRows() override {}
    void addCategoryBranch(CategoryCode) override {}
    void setBranchCounts(std::int32_t, std::int32_t) override {}
    void rowAdded(CategoryCode, std::uint32_t) override {}
    void setStatus(int, const std::string&) override {}
    void log(const std::string&) override {}
    void setCommandState(CommandState) override {}
    void setProgressRange(std::uint32_t) override {}
    void pageReached(std::uint32_t) override {}
    void pumpEvents() override {}
    void showMessage(const std::string&, const std::string&, MessageIcon) override {}
    void showError(const std::string&) override {}
};

}  // namespace pc::testing
