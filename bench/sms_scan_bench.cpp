// The SMS scan (carve, decode, store) against one plain pass over the same image, in one run.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "SQLiteTable3.h"
#include "bench_data.h"
#include "database_image.h"
#include "ratio_reporter.h"
#include "record_carver.h"
#include "result_store.h"
#include "silent_host.h"
#include "sms_scanner.h"

namespace {

// 200 MB unless PHONECARVE_BENCH_MB says otherwise.
const std::string& database() {
    static const std::string path = [] {
        const char* mb = std::getenv("PHONECARVE_BENCH_MB");
        return pc::bench::smsDatabaseOf(mb ? static_cast<unsigned>(std::atoi(mb)) : 200);
    }();
    return path;
}

// Maps the image like a scan does and reads every byte once.
void PlainPass(benchmark::State& state) {
    std::uint64_t size = 0;
    for (auto _ : state) {
        const auto load = pc::loadDatabaseImage(database());
        const auto bytes = load.image->bytes();
        std::uint64_t sum = 0;
        for (std::uint8_t b : bytes)
            sum += b;
        benchmark::DoNotOptimize(sum);
        size = bytes.size();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

// The carve alone over every byte of every page after the first, live cells included: every
// fitting header counted, nothing decoded or stored.
void CarveOnly(benchmark::State& state) {
    struct Count : pc::CarveVisitor {
        pc::CarveStep onRecord(const pc::CarvedRecord&, const pc::CarvedOverflow&) override {
            ++records;
            return pc::CarveStep::NextByte;
        }
        std::int64_t records = 0;
    };
    const std::string sql = pc::TSQLiteDatabase(database()).TableSql("sms");
    const pc::SignatureParams params{"sms",
                                     pc::SignatureParams::Tail::AppendBlank,
                                     [](std::string_view item, std::string_view name) {
                                         return item.find("default") != std::string_view::npos ||
                                                name == "type" || name == "date";
                                     },
                                     {}};
    const auto signature = pc::buildSignature(sql, params);
    std::int64_t records = 0;
    for (auto _ : state) {
        const auto load = pc::loadDatabaseImage(database());
        const pc::DatabaseImage& image = *load.image;
        Count count;
        pc::RecordCarver carver(signature, pc::serialTypeSet({0, 6, 7}));
        for (std::uint32_t page = 1; page < image.pageCount(); ++page)
            carver.carveRange({image.bytes(), std::uint64_t{page} * image.pageSize(),
                               image.pageSize(), image.pageSize()},
                              0, image.pageSize(), count);
        records = count.records;
    }
    state.counters["records"] = static_cast<double>(records);
}

void SmsScan(benchmark::State& state) {
    pc::RunGlobals run;
    run.ScanQueue = {pc::CategoryCode::Sms};
    run.SourcePaths[1] = database();
    pc::selectCategory(run, pc::CategoryCode::Sms);
    std::int32_t found = 0;
    for (auto _ : state) {
        pc::testing::SilentHost host;
        pc::ResultStore store;
        pc::ScanState scan;
        pc::SmsScanner().run(host, store, scan, run);
        found = store.count(pc::CategoryCode::Sms);
    }
    state.counters["rows"] = found;
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations() * std::filesystem::file_size(database())));
}

std::int32_t scanSms(const std::string& path) {
    pc::RunGlobals run;
    run.ScanQueue = {pc::CategoryCode::Sms};
    run.SourcePaths[1] = path;
    pc::selectCategory(run, pc::CategoryCode::Sms);
    pc::testing::SilentHost host;
    pc::ResultStore store;
    pc::ScanState scan;
    pc::SmsScanner().run(host, store, scan, run);
    return store.count(pc::CategoryCode::Sms);
}

// The same messages from a database whose changes lie in its -wal, and from the same database
// checkpointed: bytes of each read per second.
const pc::bench::LogPair& logPair() {
    static const pc::bench::LogPair pair = pc::bench::smsLogPairOf(100);
    return pair;
}

void LogScan(benchmark::State& state) {
    std::int32_t found = 0;
    for (auto _ : state)
        found = scanSms(logPair().inLog);
    state.counters["rows"] = found;
    state.SetBytesProcessed(static_cast<std::int64_t>(
        state.iterations() * std::filesystem::file_size(logPair().inLog + "-wal")));
}

void CheckpointedScan(benchmark::State& state) {
    std::int32_t found = 0;
    for (auto _ : state)
        found = scanSms(logPair().checkpointed);
    state.counters["rows"] = found;
    state.SetBytesProcessed(static_cast<std::int64_t>(
        state.iterations() * std::filesystem::file_size(logPair().checkpointed)));
}

// SQLite's own read of every row of `sms`, every column fetched.
void SqliteRead(benchmark::State& state) {
    std::int64_t rows = 0;
    for (auto _ : state) {
        sqlite3* db = nullptr;
        sqlite3_open_v2(database().c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, "select * from sms", -1, &stmt, nullptr);
        rows = 0;
        std::uint64_t bytes = 0;
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
                if (sqlite3_column_type(stmt, c) == SQLITE_TEXT)
                    bytes += static_cast<std::uint64_t>(sqlite3_column_bytes(stmt, c)) +
                             (sqlite3_column_text(stmt, c) != nullptr);
                else
                    bytes += static_cast<std::uint64_t>(sqlite3_column_int64(stmt, c));
            }
            ++rows;
        }
        benchmark::DoNotOptimize(bytes);
        sqlite3_finalize(stmt);
        sqlite3_close(db);
    }
    state.counters["rows"] = static_cast<double>(rows);
}

BENCHMARK(SqliteRead)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(PlainPass)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(CarveOnly)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(SmsScan)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(CheckpointedScan)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(LogScan)->Unit(benchmark::kMillisecond)->MinTime(2);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    database();
    logPair();
    pc::bench::RatioReporter reporter(
        [](const auto& run) { return run.run_name.function_name; },
        [](pc::bench::RatioReporter::Times& t) {
            if (t.count("PlainPass") && t.count("SmsScan"))
                std::printf("SMS scan / plain pass over the image: %.2f (target: at most 8)\n",
                            t["SmsScan"] / t["PlainPass"]);
            if (t.count("LogScan") && t.count("CheckpointedScan")) {
                namespace fs = std::filesystem;
                const double log = fs::file_size(logPair().inLog + "-wal") / t["LogScan"];
                const double main = fs::file_size(logPair().checkpointed) / t["CheckpointedScan"];
                std::printf("-wal bytes per second / main file's: %.2f (target: at least 0.8)\n",
                            log / main);
            }
            if (t.count("SqliteRead") && t.count("SmsScan"))
                std::printf(
                    "SMS scan / SQLite's own read of every row: %.2f (target: at most 1.5)\n",
                    t["SmsScan"] / t["SqliteRead"]);
        });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    return 0;
}
