// Seed corpora for the fuzz targets: small Android databases and their table texts.
#include <filesystem>
#include <fstream>
#include <iostream>

#include "android_schemas.h"
#include "contacts_fixture.h"
#include "temp_dir.h"

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
    // A seed of each kind the scan target takes: pages after a real first page (first byte 0, 1,
    // 2 for contacts, SMS, call log) and whole files (first byte 3 and up).
    pc::testing::TempDir tmp;
    const auto paths = fx::buildOneOfEach(tmp.path().string(), 1024, 10);
    for (int i = 0; i < 3; ++i) {
        const auto bytes = pc::testing::readBytes(paths[static_cast<std::size_t>(i)]);
        std::vector<std::uint8_t> pages{static_cast<std::uint8_t>(i)};
        pages.insert(pages.end(), bytes.begin() + 1024, bytes.end());
        pc::testing::writeBytes((scanDir / ("pages-" + std::to_string(i))).string(), pages);
        std::vector<std::uint8_t> whole{static_cast<std::uint8_t>(3 + i)};
        whole.insert(whole.end(), bytes.begin(), bytes.end());
        pc::testing::writeBytes((scanDir / ("file-" + std::to_string(i))).string(), whole);
    }
    for (auto schema : {fx::AndroidSchema::mmssms_old, fx::AndroidSchema::mmssms_new,
                        fx::AndroidSchema::contacts2_old, fx::AndroidSchema::contacts2_new,
                        fx::AndroidSchema::calllog_new}) {
        std::ofstream(sigDir / ("schema-" + std::to_string(static_cast<int>(schema)) + ".sql"))
            << fx::androidSchema(schema);
    }
    return 0;
}
