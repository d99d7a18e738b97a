#include "file_error.h"

#include <cstring>

namespace pc {

FileError::FileError(std::string path, int errnoValue)
    : std::runtime_error(path + ": " + std::strerror(errnoValue)),
      path_(std::move(path)),
      errno_(errnoValue) {
}

}  // namespace pc
