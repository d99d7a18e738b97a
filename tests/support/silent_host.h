// Scan events that go nowhere; for fuzz targets and benchmarks.
#pragma once

#include "scan_events.h"

namespace pc::testing {

class SilentHost : public ScanEvents {
  public:
    void started(CategoryCode) override {}
    void noted(const SourceNote&) override {}
    void progressRange(std::uint32_t, std::uint32_t) override {}
    void pageReached(std::uint32_t) override {}
    void idle() override {}
    void rowKept(CategoryCode, std::uint32_t, RecordState) override {}
    void finished(CategoryCode, std::int32_t, std::int32_t) override {}
    void failed(CategoryCode, const ScanFailure&) override {}
};

}  // namespace pc::testing
