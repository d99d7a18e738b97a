// The typed error of the file routines: the path and the system's own text for what went wrong.
#pragma once

#include <stdexcept>
#include <string>

namespace pc {

class FileError : public std::runtime_error {
  public:
    FileError(std::string path, int errnoValue);
    // What went wrong in words of the program's own, where the system's would mislead.
    FileError(std::string path, int errnoValue, const std::string& reason);
    const std::string& path() const { return path_; }
    int errorNumber() const { return errno_; }
    // What went wrong, without the path.
    const std::string& reason() const { return reason_; }

  private:
    std::string path_;
    int errno_;
    std::string reason_;
};

}  // namespace pc
