// The usual benchmark table, then lines worked out from the times of the runs in it.
#pragma once

#include <benchmark/benchmark.h>

#include <functional>
#include <map>
#include <string>

namespace pc::bench {

class RatioReporter : public benchmark::ConsoleReporter {
  public:
    using Times = std::map<std::string, double>;
    // `key` names a run (its function, or its argument); `finish` prints from the named times.
    RatioReporter(std::function<std::string(const Run&)> key, std::function<void(Times&)> finish)
        : key_(std::move(key)), finish_(std::move(finish)) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            times_[key_(r)] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        finish_(times_);
    }

  private:
    std::function<std::string(const Run&)> key_;
    std::function<void(Times&)> finish_;
    Times times_;
};

}  // namespace pc::bench
