// The typed error of the file routines: the path and the system's own text for what went wrong.
#pragma once

#include <stdexcept>
#include <string>

namespace pc {

class FileError : public std::runtime_error {
  public:
    FileError(std::string path, int errnoValue);
    const std::string& path() const { return path_; }
    int errorNumber() const { return errno_; }

  private:
    std::string path_;
    int errno_;
};

}  // namespace pc
