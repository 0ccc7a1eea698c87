// The one unit of card access: a 512-byte sector.
#pragma once

#include <array>
#include <cstdint>

namespace base {

inline constexpr uint32_t kSectorSize = 512;
using Sector = std::array<uint8_t, kSectorSize>;

}  // namespace base
