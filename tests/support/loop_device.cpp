#include "support/loop_device.h"

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/block_device.h"
#include "support/temp_dir.h"

namespace testsupport {

namespace {

bool WaitForBlockDevice(const std::string& node) {
  for (int i = 0; i < 20; ++i) {
    if (platform::IsBlockDevice(node)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

}  // namespace

LoopDevice::LoopDevice(const std::string& image, bool partitions) : partitions_(partitions) {
  if (geteuid() != 0 || !HaveProgram("losetup")) return;
  const auto r = RunCommand(std::string("losetup -f --show ") + (partitions ? "-P '" : "'") +
                            image + "' 2>/dev/null");
  if (r.status != 0 || r.output.rfind("/dev/loop", 0) != 0) return;
  disk_ = r.output.substr(0, r.output.find('\n'));
  if (partitions && !WaitForBlockDevice(partition(1))) {
    RunCommand("partx -a '" + disk_ + "'");
    WaitForBlockDevice(partition(1));
  }
}

LoopDevice::~LoopDevice() {
  if (disk_.empty()) return;
  if (partitions_) RunCommand("partx -d '" + disk_ + "'");
  RunCommand("losetup -d '" + disk_ + "'");
}

bool LoopDevice::ok() const {
  return !disk_.empty() && platform::IsBlockDevice(partitions_ ? partition(1) : disk_);
}

MountedLoop::MountedLoop(const std::string& folder) : mountPoint_(folder + "/mnt") {
  if (geteuid() != 0 || !HaveProgram("mkfs.ext2")) return;
  const std::string image = folder + "/ext2.img";
  if (RunCommand("truncate -s 8M '" + image + "' && mkfs.ext2 -q '" + image + "'").status != 0)
    return;
  loop_.emplace(image, false);
  if (!loop_->ok()) return;
  ::mkdir(mountPoint_.c_str(), 0755);
  mounted_ = ::mount(device().c_str(), mountPoint_.c_str(), "ext2", 0, nullptr) == 0;
}

MountedLoop::~MountedLoop() {
  if (mounted_) ::umount2(mountPoint_.c_str(), 0);
}

const std::string& MountedLoop::device() const { return loop_->disk(); }

std::optional<platform::MountInfo> MountedLoop::mount() const {
  struct stat st {};
  if (!loop_ || ::stat(device().c_str(), &st) != 0) return std::nullopt;
  return platform::FindMount(st.st_rdev);
}

}  // namespace testsupport
