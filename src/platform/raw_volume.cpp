#include "platform/raw_volume.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>

#include "platform/device_access.h"

namespace platform {
namespace {

// POSIX file or block device, positioned I/O only. Linux specific: BLKGETSIZE64 gives a
// device's length, fstat a file's.
class FileVolume final : public RawVolume {
 public:
  FileVolume(int fd, bool writable, uint64_t length)
      : fd_(fd), writable_(writable), length_(length) {}
  ~FileVolume() override { ::close(fd_); }
  FileVolume(const FileVolume&) = delete;
  FileVolume& operator=(const FileVolume&) = delete;

  size_t read_at(uint64_t offset, std::span<uint8_t> out) override {
    size_t done = 0;
    while (done < out.size()) {
      const ssize_t n = ::pread(fd_, out.data() + done, out.size() - done, off_t(offset + done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        error_ = n < 0 ? errno : 0;
        break;
      }
      done += size_t(n);
    }
    return done;
  }

  size_t write_at(uint64_t offset, std::span<const uint8_t> in) override {
    if (!writable_) {
      error_ = EBADF;
      return 0;
    }
    size_t done = 0;
    while (done < in.size()) {
      const ssize_t n = ::pwrite(fd_, in.data() + done, in.size() - done, off_t(offset + done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        error_ = n < 0 ? errno : ENOSPC;
        break;
      }
      done += size_t(n);
    }
    return done;
  }

  bool flush() override { return !writable_ || ::fsync(fd_) == 0; }
  uint64_t length() const override { return length_; }
  bool writable() const override { return writable_; }
  int last_error() const override { return error_; }

 private:
  int fd_;
  bool writable_;
  uint64_t length_;
  std::atomic<int> error_{0};
};

}  // namespace

namespace {

// A device this process may not open: ask the installed broker (the user may be asked to
// authorise). -1 with errno EACCES when there is none or it refuses.
int OpenThroughBroker(const std::string& path, bool writable) {
  struct stat st {};
  DeviceAccessBroker* broker = CurrentDeviceAccessBroker();
  if (broker && ::stat(path.c_str(), &st) == 0 && S_ISBLK(st.st_mode) && broker->available()) {
    std::string reason;
    const int fd = broker->openDevice(path, writable, reason);
    if (fd >= 0) return fd;
  }
  errno = EACCES;
  return -1;
}

}  // namespace

std::unique_ptr<RawVolume> OpenFileVolume(const std::string& path, bool writable, int* error) {
  // Opened non-blocking so that a FIFO returns at once instead of waiting for a writer;
  // blocking mode is restored once the descriptor is known to be a file or a block device.
  int fd = ::open(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0 && (errno == EACCES || errno == EPERM)) fd = OpenThroughBroker(path, writable);
  if (fd < 0) {
    if (error) *error = errno;
    return nullptr;
  }
  const auto refuse = [&](int code) -> std::unique_ptr<RawVolume> {
    ::close(fd);
    if (error) *error = code;
    return nullptr;
  };
  struct stat st {};
  uint64_t length = 0;
  if (::fstat(fd, &st) != 0) return refuse(errno);
  if (S_ISBLK(st.st_mode)) {
    if (::ioctl(fd, BLKGETSIZE64, &length) != 0) length = 0;
  } else if (S_ISREG(st.st_mode)) {
    length = uint64_t(st.st_size);
  } else {
    return refuse(EINVAL);  // a directory, FIFO, socket or character device is no volume
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return refuse(errno);
  if (error) *error = 0;
  return std::make_unique<FileVolume>(fd, writable, length);
}

size_t WindowVolume::clip(uint64_t offset, size_t n) const {
  if (offset >= length_) return 0;
  return size_t(std::min<uint64_t>(n, length_ - offset));
}

size_t WindowVolume::read_at(uint64_t offset, std::span<uint8_t> out) {
  return base_->read_at(start_ + offset, out.first(clip(offset, out.size())));
}

size_t WindowVolume::write_at(uint64_t offset, std::span<const uint8_t> in) {
  return base_->write_at(start_ + offset, in.first(clip(offset, in.size())));
}

}  // namespace platform
