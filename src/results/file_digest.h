// What a source file was when a report read it: its size, modification time and SHA-256, taken
// before and after the scan so a reader can check that reading changed nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace pc {

struct FileFacts {
    std::string path;
    std::uint64_t size = 0;
    std::int64_t modifiedUnix = 0;  // seconds
    std::string sha256;             // lower-case hex
};

// Throws std::system_error when the file cannot be read. `pump` runs between megabytes.
FileFacts factsOf(const std::string& path, const std::function<void()>& pump = {});

}  // namespace pc
