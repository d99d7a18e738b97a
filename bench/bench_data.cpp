#include "bench_data.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <vector>

#include "sms_fixture.h"
#include "sqlite_db.h"

namespace pc::bench {

std::string smsDatabaseOf(unsigned megabytes) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(PHONECARVE_BENCH_DATA);
    fs::create_directories(dir);
    const fs::path path = dir / ("mmssms-" + std::to_string(megabytes) + "mb.db");
    if (fs::exists(path) && fs::file_size(path) >= megabytes * 1000000ull) return path.string();

    std::cerr << "building " << path << " ...\n";
    fixtures::SmsDbOptions o;
    o.messages = static_cast<int>(megabytes * 5000);  // about 200 bytes each
    o.wordIndex = false;
    o.deleteFraction = 0.1;
    o.seed = 42;
    fixtures::buildSmsDatabase(path.string(), o);
    return path.string();
}

LogPair smsLogPairOf(unsigned megabytes) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(PHONECARVE_BENCH_DATA);
    fs::create_directories(dir);
    const std::string stem = "mmssms-log-" + std::to_string(megabytes) + "mb";
    const LogPair pair{(dir / (stem + ".db")).string(),
                       (dir / (stem + "-checkpointed.db")).string()};
    if (fs::exists(pair.checkpointed)) return pair;

    std::cerr << "building " << pair.inLog << " ...\n";
    fixtures::SmsDbOptions o;
    o.messages = static_cast<int>(megabytes * 4000);
    o.wordIndex = false;
    o.deleteFraction = 0.1;
    o.seed = 43;
    o.shape = fixtures::modernShape(4096, false);
    fixtures::buildSmsDatabase(pair.inLog, o);
    for (const char* suffix : {"", "-wal"})
        fs::copy_file(pair.inLog + suffix, pair.checkpointed + suffix,
                      fs::copy_options::overwrite_existing);
    fixtures::SqliteDb db(pair.checkpointed);
    db.query("PRAGMA wal_checkpoint(TRUNCATE)");
    return pair;
}

std::string shiftedCopyOf(const std::string& path) {
    namespace fs = std::filesystem;
    const std::string shifted = fs::path(path).replace_extension("").string() + "-shifted.db";
    if (fs::exists(shifted) && fs::file_size(shifted) == fs::file_size(path) + 1) return shifted;
    std::ifstream in(path, std::ios::binary);
    std::ofstream out(shifted, std::ios::binary | std::ios::trunc);
    std::vector<char> block(1 << 20);
    in.read(block.data(), 100);
    out.write(block.data(), in.gcount());
    out.put('\0');
    while (in.read(block.data(), static_cast<std::streamsize>(block.size())) || in.gcount() > 0)
        out.write(block.data(), in.gcount());
    return shifted;
}

}  // namespace pc::bench
