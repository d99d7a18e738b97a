#pragma once

#include <cstdint>

namespace pc {

// The file a page image, and so a found row, comes from: the database itself, its write-ahead log
// or its rollback journal.
enum class SourceFile : std::uint8_t { Main = 0, Wal = 1, Journal = 2 };

}  // namespace pc
