// An owned POSIX file descriptor, closed on destruction. Any thread; one owner.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>

#include <utility>

namespace cardsim {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& o) noexcept : fd_(std::exchange(o.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& o) noexcept {
    if (this != &o) {
      reset();
      fd_ = std::exchange(o.fd_, -1);
    }
    return *this;
  }
  ~UniqueFd() { reset(); }
  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  void reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

// pwrite of all `size` bytes at `offset`; false on any failure.
bool WriteAllAt(int fd, const void* data, size_t size, uint64_t offset);

}  // namespace cardsim
