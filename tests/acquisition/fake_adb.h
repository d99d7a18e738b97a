// Puts our fake adb first on PATH for one test, with the phone's databases it hands out.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include "temp_dir.h"

namespace pc::testing {

class FakeAdb {
  public:
    enum class Holds { Files, Root };
    // `files`: a folder with the contacts2.db and mmssms.db the phone "holds"; or, with
    // Holds::Root, the folder the phone's file system lies under (data/data/..., data/user_de/...).
    FakeAdb(const std::string& files, const char* mode = "ok", Holds holds = Holds::Files)
        : oldPath_(std::getenv("PATH")) {
        const auto bin = dir_.path() / "bin";
        std::filesystem::create_directory(bin);
        std::filesystem::copy_file(FAKE_ADB_SCRIPT_SOURCE, bin / "adb");
        std::filesystem::permissions(bin / "adb", std::filesystem::perms::owner_all);
        ::setenv("PATH", (bin.string() + ":" + oldPath_).c_str(), 1);
        ::setenv(holds == Holds::Root ? "FAKE_ADB_ROOT" : "FAKE_ADB_FILES", files.c_str(), 1);
        ::setenv("FAKE_ADB_MODE", mode, 1);
        ::setenv("FAKE_ADB_LOG", log().c_str(), 1);
        ::setenv("FAKE_ADB_SCRIPT", script().c_str(), 1);
    }
    ~FakeAdb() {
        ::setenv("PATH", oldPath_.c_str(), 1);
        for (const char* v : {"FAKE_ADB_FILES", "FAKE_ADB_ROOT", "FAKE_ADB_MODE", "FAKE_ADB_LOG",
                              "FAKE_ADB_SCRIPT"})
            ::unsetenv(v);
    }
    FakeAdb(const FakeAdb&) = delete;
    FakeAdb& operator=(const FakeAdb&) = delete;

    std::string log() const { return dir_.file("adb.log"); }
    std::string script() const { return dir_.file("script-received"); }

  private:
    TempDir dir_;
    std::string oldPath_;
};

}  // namespace pc::testing
