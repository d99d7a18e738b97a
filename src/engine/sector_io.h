// Raw file reads beneath the image loader. Sources are only ever opened for reading.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace pc {

enum class SectorRead { Ok, OpenFailed, ShortRead };

// Reads buffer.size() bytes at sector * 512. The buffer is filled only when every byte arrived.
SectorRead ReadSectors(const std::string& path, std::span<std::uint8_t> buffer,
                       std::uint64_t sector);

// Size of the file in bytes; throws FileError when it cannot be opened.
std::uint64_t FileSizeOf(const std::string& path);

// Throws FileError when `path` names something other than a regular file: a FIFO, a device or a
// folder would block a read or give no database, and is refused before any is tried.
void requireRegularFile(const std::string& path);

}  // namespace pc
