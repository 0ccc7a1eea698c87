#include "convert/mp4_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace convert {

Mp4File::~Mp4File() { close(); }

Mp4File::Mp4File(Mp4File&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

Mp4File& Mp4File::operator=(Mp4File&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

bool Mp4File::open(const std::string& path, bool writable, std::string* why) {
  close();
  const auto fail = [&](const std::string& reason) {
    if (why) *why = reason;
    close();
    return false;
  };
  // Non-blocking, so that opening a FIFO returns at once; the type is checked on the open
  // descriptor and blocking mode restored for the regular file.
  fd_ = ::open(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK);
  if (fd_ < 0) return fail(std::string("cannot open the file: ") + std::strerror(errno));
  struct stat st {};
  if (::fstat(fd_, &st) != 0)
    return fail(std::string("cannot open the file: ") + std::strerror(errno));
  if (S_ISDIR(st.st_mode)) return fail("cannot read the file: it is a folder");
  if (!S_ISREG(st.st_mode)) return fail("cannot read the file: not a regular file");
  const int flags = ::fcntl(fd_, F_GETFL);
  if (flags < 0 || ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) != 0)
    return fail(std::string("cannot open the file: ") + std::strerror(errno));
  return true;
}

void Mp4File::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

uint64_t Mp4File::size() const {
  struct stat st {};
  if (fd_ < 0 || ::fstat(fd_, &st) != 0 || st.st_size < 0) return 0;
  return uint64_t(st.st_size);
}

size_t Mp4File::readAt(uint64_t offset, uint8_t* dst, size_t n) const {
  size_t done = 0;
  while (fd_ >= 0 && done < n) {
    const ssize_t r = ::pread(fd_, dst + done, n - done, off_t(offset + done));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    done += size_t(r);
  }
  return done;
}

bool Mp4File::writeAt(uint64_t offset, const uint8_t* src, size_t n) {
  size_t done = 0;
  while (fd_ >= 0 && done < n) {
    const ssize_t r = ::pwrite(fd_, src + done, n - done, off_t(offset + done));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    done += size_t(r);
  }
  return done == n;
}

bool Mp4File::truncate(uint64_t length) {
  return fd_ >= 0 && ::ftruncate(fd_, off_t(length)) == 0;
}

}  // namespace convert
