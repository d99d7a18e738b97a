// The contacts join must grow linearly with the carved rows: 10,000 and 100,000 rows in one run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>

#include "contacts_scanner.h"
#include "ratio_reporter.h"

namespace {

constexpr std::int64_t kName = 7, kPhone = 5, kEmail = 1;

std::vector<pc::PAlltelvalue> rows(std::size_t n) {
    std::mt19937 rng(42);
    std::vector<pc::PAlltelvalue> out;
    const auto contacts = static_cast<std::int32_t>(n / 3);
    std::uniform_int_distribution<std::int32_t> raw(1, contacts);
    for (std::size_t i = 0; i < n; ++i) {
        const std::int32_t mime = static_cast<std::int32_t>(i % 3 == 0   ? kName
                                                            : i % 3 == 1 ? kPhone
                                                                         : kEmail);
        out.push_back(
            {mime, raw(rng), "13800000000", static_cast<std::uint8_t>(i % 2), {i}, false});
    }
    return out;
}

void Join(benchmark::State& state) {
    const auto data = rows(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        std::size_t pairs = 0;
        pc::joinContactRows(data, kName, kPhone,
                            [&](const pc::PAlltelvalue* name, const pc::PAlltelvalue&) {
                                pairs += name != nullptr;
                            });
        benchmark::DoNotOptimize(pairs);
    }
}

BENCHMARK(Join)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    pc::bench::RatioReporter reporter(
        [](const auto& run) { return run.run_name.args; },
        [](pc::bench::RatioReporter::Times& t) {
            if (t.count("10000") && t.count("100000"))
                std::printf("join of 100,000 rows / join of 10,000 rows: %.1f (linear: 10)\n",
                            t["100000"] / t["10000"]);
        });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    return 0;
}
