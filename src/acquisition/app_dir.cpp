#include "app_dir.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace pc {

namespace fs = std::filesystem;

std::string chooseAppDir() {
    std::error_code ec;
    const fs::path program = fs::read_symlink("/proc/self/exe", ec).parent_path();
    if (!ec && ::access(program.c_str(), W_OK) == 0) return program.string() + "/";
    fs::path data;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
        data = fs::path(xdg) / "phonecarve";
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        data = fs::path(home) / ".local/share/phonecarve";
    } else {
        data = fs::temp_directory_path() / "phonecarve";
    }
    fs::create_directories(data, ec);
    return data.string() + "/";
}

}  // namespace pc
