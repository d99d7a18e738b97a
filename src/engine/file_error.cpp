#include "file_error.h"

#include <cstring>

namespace pc {

FileError::FileError(std::string path, int errnoValue)
    : FileError(std::move(path), errnoValue, std::strerror(errnoValue)) {
}

FileError::FileError(std::string path, int errnoValue, const std::string& reason)
    : std::runtime_error(path + ": " + reason),
      path_(std::move(path)),
      errno_(errnoValue),
      reason_(reason) {
}

}  // namespace pc
