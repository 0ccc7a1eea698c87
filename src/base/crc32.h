// CRC-32 (reflected, polynomial 0xEDB88320) with a chosen start register.
// The register starts at `seed` instead of all ones; the result is the complemented register,
// so seed 0xFFFFFFFF gives the ordinary CRC-32. Backed by libdeflate's vectorised CRC, which
// runs at memory speed; thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>

namespace base {

uint32_t crc32_seeded(const uint8_t* data, size_t length, uint32_t seed);

}  // namespace base

namespace base {

// Continues a CRC: crc32_extend(crc32_seeded(a, seed), b) == crc32_seeded(a followed by b,
// seed); crc32_seeded(nullptr, 0, seed) starts one.
uint32_t crc32_extend(uint32_t crc, const uint8_t* data, size_t length);

}  // namespace base
