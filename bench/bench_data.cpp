#include "bench_data.h"

#include <filesystem>
#include <iostream>

#include "sms_fixture.h"

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

}  // namespace pc::bench
