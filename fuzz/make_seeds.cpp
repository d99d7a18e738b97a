// Seed corpora for the fuzz targets: small Android databases and their table texts.
#include <filesystem>
#include <fstream>
#include <iostream>

#include "altered_files.h"
#include "android_schemas.h"
#include "contacts_fixture.h"
#include "sms_fixture.h"
#include "temp_dir.h"

namespace fx = pc::fixtures;
namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: make-fuzz-seeds SCAN_DIR SIGNATURE_DIR SIDE_FILES_DIR\n";
        return 2;
    }
    const fs::path scanDir = argv[1], sigDir = argv[2], sideDir = argv[3];
    fs::create_directories(scanDir);
    fs::create_directories(sigDir);
    fs::create_directories(sideDir);
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
    // Files whose structures lie, whole (first byte 9).
    const std::string base = (tmp.path() / "altered-base.db").string();
    fx::buildAlterationBase(base);
    for (const fx::AlteredFile& f : fx::alteredCopies(base, tmp.path().string())) {
        std::vector<std::uint8_t> whole{9};
        whole.insert(whole.end(), f.bytes.begin(), f.bytes.end());
        pc::testing::writeBytes((scanDir / ("altered-" + f.name)).string(), whole);
    }
    for (auto schema : {fx::AndroidSchema::mmssms_old, fx::AndroidSchema::mmssms_new,
                        fx::AndroidSchema::contacts2_old, fx::AndroidSchema::contacts2_new,
                        fx::AndroidSchema::calllog_new}) {
        std::ofstream(sigDir / ("schema-" + std::to_string(static_cast<int>(schema)) + ".sql"))
            << fx::androidSchema(schema);
    }
    // Databases as Android 9 and later leave them, their log beside them; and one with a journal
    // kept by PERSIST mode.
    for (int i = 0; i < 4; ++i) {
        const std::string path = (tmp.path() / ("side-" + std::to_string(i))).string();
        fx::DbShape shape = fx::modernShape(1024, i == 1);
        if (i == 3) {
            shape = fx::DbShape{};
            shape.pageSize = 1024;
            shape.secureDelete = shape.persistJournal = true;
        }
        if (i == 2) {
            fx::ContactsDbOptions o;
            o.currentLayout = true, o.contacts = 8, o.shape = shape;
            fx::buildContactsDatabase(path, o);
        } else {
            fx::SmsDbOptions o;
            o.messages = 20, o.shape = shape;
            fx::buildSmsDatabase(path, o);
        }
        auto sideOf = [&](const char* suffix) {
            return fs::exists(path + suffix) ? pc::testing::readBytes(path + suffix)
                                             : std::vector<std::uint8_t>{};
        };
        const auto wal = sideOf("-wal"), journal = sideOf("-journal");
        std::vector<std::uint8_t> seed{static_cast<std::uint8_t>(i == 2 ? 0 : 1)};
        for (std::size_t n : {wal.size(), journal.size()})
            for (int shift = 24; shift >= 0; shift -= 8)
                seed.push_back(static_cast<std::uint8_t>(n >> shift));
        seed.insert(seed.end(), wal.begin(), wal.end());
        seed.insert(seed.end(), journal.begin(), journal.end());
        const auto main = pc::testing::readBytes(path);
        seed.insert(seed.end(), main.begin(), main.end());
        pc::testing::writeBytes((sideDir / ("side-" + std::to_string(i))).string(), seed);
    }
    return 0;
}
