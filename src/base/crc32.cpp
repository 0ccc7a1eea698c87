#include "base/crc32.h"

#include <zlib.h>

namespace base {

uint32_t crc32_seeded(const uint8_t* data, size_t length, uint32_t seed) {
  // zlib's crc32(c, ...) starts its register at ~c and returns ~register, so passing ~seed
  // starts the register at seed. Feed in chunks: zlib's length parameter is a uInt.
  uLong crc = ~seed & 0xFFFFFFFFu;
  while (length > 0) {
    const uInt n = length > (1u << 30) ? (1u << 30) : uInt(length);
    crc = ::crc32(crc, data, n);
    data += n;
    length -= n;
  }
  return uint32_t(crc);
}

}  // namespace base
