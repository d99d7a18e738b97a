// Seed corpora for the fuzz targets: small Android databases and their table texts.
#include <filesystem>
#include <fstream>
#include <iostream>

#include "android_schemas.h"
#include "sms_fixture.h"

namespace fx = pc::fixtures;
namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: make-fuzz-seeds SCAN_DIR SIGNATURE_DIR\n";
        return 2;
    }
    const fs::path scanDir = argv[1], sigDir = argv[2];
    fs::create_directories(scanDir);
    fs::create_directories(sigDir);
    int n = 0;
    for (std::uint32_t pageSize : {512u, 1024u}) {
        for (bool current : {false, true}) {
            fx::SmsDbOptions o;
            o.currentLayout = current;
            o.shape.pageSize = pageSize;
            o.messages = 12;
            o.seed = static_cast<std::uint64_t>(++n);
            fx::buildSmsDatabase((scanDir / ("sms-" + std::to_string(n) + ".db")).string(), o);
        }
    }
    for (auto schema : {fx::AndroidSchema::mmssms_old, fx::AndroidSchema::mmssms_new,
                        fx::AndroidSchema::contacts2_old, fx::AndroidSchema::contacts2_new,
                        fx::AndroidSchema::calllog_new}) {
        std::ofstream(sigDir / ("schema-" + std::to_string(static_cast<int>(schema)) + ".sql"))
            << fx::androidSchema(schema);
    }
    return 0;
}
