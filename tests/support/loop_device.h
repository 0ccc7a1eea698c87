// Loop devices for tests that need a real block device: an image attached with losetup (with
// its partition nodes), optionally an ext2 file system mounted from it. Everything is undone
// in the destructor. ok() is false where it cannot be done (not root, no free loop device):
// such tests skip.
#pragma once

#include <optional>
#include <string>

#include "platform/mounts.h"

namespace testsupport {

class LoopDevice {
 public:
  // `partitions`: scan the image's partition table and wait for the pN nodes.
  LoopDevice(const std::string& image, bool partitions);
  ~LoopDevice();
  LoopDevice(const LoopDevice&) = delete;
  LoopDevice& operator=(const LoopDevice&) = delete;
  bool ok() const;
  const std::string& disk() const { return disk_; }
  std::string partition(int n) const { return disk_ + "p" + std::to_string(n); }

 private:
  std::string disk_;
  bool partitions_;
};

// An ext2 image of 8 MiB in `folder`, on a loop device, mounted at `folder`/mnt.
class MountedLoop {
 public:
  explicit MountedLoop(const std::string& folder);
  ~MountedLoop();
  MountedLoop(const MountedLoop&) = delete;
  MountedLoop& operator=(const MountedLoop&) = delete;
  bool ok() const { return mounted_; }
  const std::string& device() const;
  const std::string& mountPoint() const { return mountPoint_; }
  // The device's current mount, looked up by its device number.
  std::optional<platform::MountInfo> mount() const;

 private:
  std::string mountPoint_;
  std::optional<LoopDevice> loop_;
  bool mounted_ = false;
};

}  // namespace testsupport
