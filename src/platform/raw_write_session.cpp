#include "platform/raw_write_session.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/device_access.h"

namespace platform {

namespace {

bool UnmountThroughBroker(const std::string& partitionPath) {
  DeviceAccessBroker* broker = CurrentDeviceAccessBroker();
  std::string reason;
  return broker && broker->available() && broker->unmount(partitionPath, reason);
}

}  // namespace

RawWriteSession::RawWriteSession(const std::string& partitionPath, const std::string& diskPath) {
  if (partitionPath.empty()) return;
  if (!diskPath.empty()) {
    lockFd_ = ::open(diskPath.c_str(), O_RDONLY | O_CLOEXEC);
    // udev holds a shared lock while it probes; wait for it a little, never forever.
    for (int i = 0; lockFd_ >= 0 && i < 50; ++i) {
      if (::flock(lockFd_, LOCK_EX | LOCK_NB) == 0) break;
      ::usleep(20000);
    }
  }
  struct stat st {};
  if (::stat(partitionPath.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) return;
  if (auto m = FindMount(st.st_rdev)) {
    if (Unmount(*m)) {
      unmounted_ = std::move(m);
    } else if (UnmountThroughBroker(partitionPath)) {
      // An ordinary user may not unmount; the desktop's disk service may do it for them.
      unmounted_ = std::move(m);
      brokerPath_ = partitionPath;
    } else {
      ready_ = false;
    }
  }
}

RawWriteSession::~RawWriteSession() {
  if (!brokerPath_.empty()) {
    std::string reason;
    DeviceAccessBroker* broker = CurrentDeviceAccessBroker();
    if (broker) broker->mount(brokerPath_, reason);
  } else if (unmounted_) {
    Remount(*unmounted_);
  }
  if (lockFd_ >= 0) {
    ::flock(lockFd_, LOCK_UN);
    ::close(lockFd_);
  }
}

}  // namespace platform
