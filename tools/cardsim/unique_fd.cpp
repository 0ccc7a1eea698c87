#include "cardsim/unique_fd.h"

#include <cerrno>

namespace cardsim {

bool WriteAllAt(int fd, const void* data, size_t size, uint64_t offset) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (size > 0) {
    const ssize_t n = ::pwrite(fd, p, size, off_t(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= size_t(n);
    offset += uint64_t(n);
  }
  return true;
}

}  // namespace cardsim
