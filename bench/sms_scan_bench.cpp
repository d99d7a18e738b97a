// The SMS scan (carve, decode, store), and the whole jobs people run (the scan writing the GBK
// export files, the scan writing JSON lines), against SQLite's own reads of the same file and one
// plain pass over it, in one run, the ratios taken between jobs run side by side; then the peak
// resident memory of each, each measured in a process of its own.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "SQLiteTable3.h"
#include "bench_data.h"
#include "carve_command.h"
#include "database_image.h"
#include "record_carver.h"
#include "report_command.h"
#include "result_store.h"
#include "scan_command.h"
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

// Maps the image like a scan does and reads every byte once; its size.
std::uint64_t plainPass() {
    const auto load = pc::loadDatabaseImage(database());
    const auto bytes = load.image->bytes();
    std::uint64_t sum = 0;
    for (std::uint8_t b : bytes)
        sum += b;
    benchmark::DoNotOptimize(sum);
    return bytes.size();
}

void PlainPass(benchmark::State& state) {
    std::uint64_t size = 0;
    for (auto _ : state)
        size = plainPass();
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
    pc::RunPlan run;
    run.ScanQueue = {pc::CategoryCode::Sms};
    run.SourcePaths[1] = database();
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
    pc::RunPlan run;
    run.ScanQueue = {pc::CategoryCode::Sms};
    run.SourcePaths[1] = path;
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

// SQLite's own read of the rows of `sms`, every column of the query fetched.
std::int64_t sqliteRead(const char* query) {
    std::int64_t rows = 0;
    {
        sqlite3* db = nullptr;
        sqlite3_open_v2(database().c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, query, -1, &stmt, nullptr);
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
    return rows;
}

// SQLite's own read of every row of every table, every column fetched: the baseline of the carve.
std::int64_t sqliteReadAll() {
    std::vector<std::string> tables;
    {
        sqlite3* db = nullptr;
        sqlite3_open_v2(database().c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, "select name from sqlite_master where type = 'table'", -1, &stmt,
                           nullptr);
        while (sqlite3_step(stmt) == SQLITE_ROW)
            tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
        sqlite3_finalize(stmt);
        sqlite3_close(db);
    }
    std::int64_t rows = 0;
    for (const std::string& t : tables)
        rows += sqliteRead(("select * from \"" + t + "\"").c_str());
    return rows;
}

void SqliteReadAll(benchmark::State& state) {
    std::int64_t rows = 0;
    for (auto _ : state)
        rows = sqliteReadAll();
    state.counters["rows"] = static_cast<double>(rows);
}

void SqliteRead(benchmark::State& state) {
    std::int64_t rows = 0;
    for (auto _ : state)
        rows = sqliteRead("select * from sms");
    state.counters["rows"] = static_cast<double>(rows);
}

// Only the four columns the scan shows: a stricter baseline.
void SqliteReadShown(benchmark::State& state) {
    std::int64_t rows = 0;
    for (auto _ : state)
        rows = sqliteRead("select address, date, type, body from sms");
    state.counters["rows"] = static_cast<double>(rows);
}

// `command` with standard output going nowhere; its status.
int toNowhere(const std::function<int()>& command) {
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, STDOUT_FILENO);
    ::close(null);
    const int status = command();
    std::fflush(stdout);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    return status;
}

// The command line's own jobs.
int commandLine(pc::cli::ScanOptions options) {
    options.sources.sms = database();
    options.quiet = true;
    return toNowhere([&] { return pc::cli::runScanCommand(options); });
}

const std::string& exportFolder() {
    static const std::string folder =
        (std::filesystem::temp_directory_path() / "phonecarve-bench-export").string();
    return folder;
}

int gbkExport() {
    pc::cli::ScanOptions o;
    o.out = exportFolder();
    return commandLine(o);
}

// What people hand on: the HTML report (both SHA-256 passes included) and the workbook.
int htmlReport() {
    pc::cli::ReportOptions o;
    o.sources.sms = database();
    o.out = exportFolder() + "/report";
    o.quiet = true;
    return toNowhere([&] { return pc::cli::runReportCommand(o); });
}

int workbook() {
    pc::cli::ScanOptions o;
    o.out = exportFolder();
    o.workbook = true;
    return commandLine(o);
}

int jsonLines() {
    pc::cli::ScanOptions o;
    o.format = pc::OutputFormat::Jsonl;
    return commandLine(o);
}

// `phonecarve carve` of every table of `file`, its JSON lines going nowhere.
int carveJsonLines(const std::string& file = database()) {
    pc::cli::CarveOptions o;
    o.file = file;
    o.quiet = true;
    return toNowhere([&] { return pc::cli::runCarveCommand(o); });
}

void CarveJsonLines(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(carveJsonLines());
}

// The same file with a byte inserted after its header: every page searched for every table.
const std::string& shifted() {
    static const std::string path = pc::bench::shiftedCopyOf(database());
    return path;
}

void CarveShifted(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(carveJsonLines(shifted()));
}

void ScanGbkExport(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(gbkExport());
}

void ScanJsonLines(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(jsonLines());
}

// The peak resident memory of `job` run once in a process of its own, in bytes.
std::uint64_t peakResident(const std::function<void()>& job) {
    std::fflush(stdout);
    const pid_t child = ::fork();
    if (child == 0) {
        job();
        std::_Exit(0);
    }
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    return static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;  // kilobytes on Linux
}

// Whether PHONECARVE_BENCH_JOBS (a comma list of the jobs' names) leaves `name` in: all without it.
bool jobWanted(const std::string& name) {
    const char* only = std::getenv("PHONECARVE_BENCH_JOBS");
    return !only || ("," + std::string(only) + ",").find("," + name + ",") != std::string::npos;
}

void printPeaks() {
    const double file = static_cast<double>(std::filesystem::file_size(database()));
    const std::tuple<const char*, const char*, std::function<void()>> jobs[] = {
        {"SqliteRead", "SQLite's read of every column", [] { sqliteRead("select * from sms"); }},
        {"SmsScan", "SMS scan, rows kept", [] { scanSms(database()); }},
        {"ScanGbkExport", "scan with the GBK export", [] { gbkExport(); }},
        {"ScanJsonLines", "scan with JSON lines", [] { jsonLines(); }},
        {"CarveJsonLines", "carve, JSON lines", [] { carveJsonLines(); }},
        {"HtmlReport", "HTML report", [] { htmlReport(); }},
        {"Workbook", "Excel workbook", [] { workbook(); }},
    };
    std::printf("peak resident memory (file %.0f MB):\n", file / 1e6);
    for (const auto& [key, name, job] : jobs) {
        if (!jobWanted(key)) continue;
        const double peak = static_cast<double>(peakResident(job));
        std::printf("  %-30s %7.1f MB = %.2f x the file\n", name, peak / 1e6, peak / file);
    }
    std::printf(
        "  (targets: the GBK export at most 1.2 x the file; JSON lines under 256 MB; the carve, "
        "the report and the workbook at most 0.5 x the file)\n");
}

BENCHMARK(SqliteRead)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(SqliteReadAll)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(CarveJsonLines)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(CarveShifted)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(SqliteReadShown)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(ScanGbkExport)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(ScanJsonLines)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(PlainPass)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(CarveOnly)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(SmsScan)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(CheckpointedScan)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(LogScan)->Unit(benchmark::kMillisecond)->MinTime(2);

// Every job and its baselines timed once a round, one after another, over several rounds (every
// other round in the opposite order): a ratio is taken between times of the same round, so that
// this machine's changes of speed, which last seconds to minutes, do not enter it; the median of
// the rounds is printed, with the lowest and highest.
void printPairedRatios(int rounds) {
    namespace fs = std::filesystem;
    const std::pair<const char*, std::function<void()>> jobs[] = {
        {"SqliteRead", [] { sqliteRead("select * from sms"); }},
        {"SqliteReadAll", [] { sqliteReadAll(); }},
        {"CarveJsonLines", [] { carveJsonLines(); }},
        {"CarveShifted", [] { carveJsonLines(shifted()); }},
        {"SqliteReadShown", [] { sqliteRead("select address, date, type, body from sms"); }},
        {"PlainPass", [] { plainPass(); }},
        {"SmsScan", [] { scanSms(database()); }},
        {"ScanGbkExport", [] { gbkExport(); }},
        {"ScanJsonLines", [] { jsonLines(); }},
        {"CheckpointedScan", [] { scanSms(logPair().checkpointed); }},
        {"LogScan", [] { scanSms(logPair().inLog); }},
        {"HtmlReport", [] { htmlReport(); }},
        {"Workbook", [] { workbook(); }},
    };
    std::map<std::string, std::vector<double>> times;
    for (int r = 0; r < rounds; ++r)
        for (std::size_t i = 0; i < std::size(jobs); ++i) {
            const auto& [name, job] = jobs[r % 2 ? std::size(jobs) - 1 - i : i];
            if (!jobWanted(name)) continue;
            const auto start = std::chrono::steady_clock::now();
            job();
            times[name].push_back(
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        }
    // `scale` times a's over b's of each round: median [lowest-highest].
    auto ratio = [&](const char* a, const char* b, double scale = 1) {
        std::vector<double> r;
        if (times[a].empty() || times[b].empty()) return std::string("(not timed)");
        for (int i = 0; i < rounds; ++i)
            r.push_back(scale * times[a][i] / times[b][i]);
        std::sort(r.begin(), r.end());
        char text[64];
        std::snprintf(text, sizeof text, "%.2f [%.2f-%.2f]", r[r.size() / 2], r.front(), r.back());
        return std::string(text);
    };
    std::printf("ratios of %d rounds, each within one round: median [lowest-highest]\n", rounds);
    std::printf("SMS scan / plain pass over the image: %s (target: at most 8)\n",
                ratio("SmsScan", "PlainPass").c_str());
    // Bytes per second of the log over the main file's: the inverse ratio of times, scaled by
    // sizes.
    const double sizes = static_cast<double>(fs::file_size(logPair().inLog + "-wal")) /
                         static_cast<double>(fs::file_size(logPair().checkpointed));
    std::printf("-wal bytes per second / main file's: %s (target: at least 0.8)\n",
                ratio("CheckpointedScan", "LogScan", sizes).c_str());
    std::printf("SMS scan / SQLite's own read of every row: %s (target: at most 1.5)\n",
                ratio("SmsScan", "SqliteRead").c_str());
    const std::pair<const char*, const char*> scans[] = {
        {"SmsScan", "SMS scan, rows kept     "},
        {"ScanGbkExport", "scan with the GBK export"},
        {"ScanJsonLines", "scan with JSON lines    "}};
    for (const auto& [key, name] : scans)
        std::printf("%s / SQLite's read of every column: %s; of the four shown: %s\n", name,
                    ratio(key, "SqliteRead").c_str(), ratio(key, "SqliteReadShown").c_str());
    std::printf(
        "(targets: the GBK export at most 1.0, JSON lines at most 0.8, against every column)\n");
    std::printf(
        "carve of every table, JSON lines / SQLite's read of every table: %s (target: at "
        "most 1.5)\n",
        ratio("CarveJsonLines", "SqliteReadAll").c_str());
    std::printf(
        "carve of the file with a byte inserted after its header / of the file itself: "
        "%s (target: at most 3)\n",
        ratio("CarveShifted", "CarveJsonLines").c_str());
    std::printf("HTML report / scan with the GBK export: %s (target: at most 2)\n",
                ratio("HtmlReport", "ScanGbkExport").c_str());
    std::printf("Excel workbook / scan with the GBK export: %s (target: at most 2)\n",
                ratio("Workbook", "ScanGbkExport").c_str());
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    database();
    logPair();
    shifted();
    if (!std::getenv("PHONECARVE_BENCH_JOBS")) benchmark::RunSpecifiedBenchmarks();
    printPairedRatios(7);
    printPeaks();
    std::filesystem::remove_all(exportFolder());
    return 0;
}
