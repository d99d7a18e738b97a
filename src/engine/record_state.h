#pragma once

#include <cstdint>

namespace pc {

// Whether the database still lists a found row (normal) or only its bytes are left (deleted).
enum class RecordState : std::uint8_t { Normal = 0, Deleted = 1 };

}  // namespace pc
