#include "base/crc32.h"

#include <libdeflate.h>

namespace base {

uint32_t crc32_seeded(const uint8_t* data, size_t length, uint32_t seed) {
  // libdeflate_crc32(c, ...) starts its register at ~c and returns ~register (the zlib
  // convention), so passing ~seed starts the register at seed. With no data it returns 0
  // for a null pointer instead of its input, so the empty case is answered here.
  if (length == 0) return ~seed;
  return libdeflate_crc32(~seed, data, length);
}

}  // namespace base

namespace base {

uint32_t crc32_extend(uint32_t crc, const uint8_t* data, size_t length) {
  if (length == 0) return crc;
  return libdeflate_crc32(crc, data, length);
}

}  // namespace base
