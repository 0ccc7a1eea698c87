// The removable volumes the main window offers: disks that sysfs marks `removable`, every SD
// card (mmcblk, whose built-in readers report removable 0) and every USB disk; for each, its
// partitions, or the whole disk when it has none. Disks without a medium (size 0) are left
// out. Each volume comes with its device path and mount point. Plain file reads; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct RemovableVolume {
  std::string devicePath;  // "/dev/sdb1", or "/dev/sdb" for an unpartitioned disk
  std::string diskPath;    // "/dev/sdb"
  std::string mountPoint;  // empty when not mounted
  uint64_t sizeBytes = 0;
  bool wholeDisk = false;
};

// In kernel name order. The roots are "/sys", "/dev" and /proc/self/mountinfo except in tests.
std::vector<RemovableVolume> ListRemovableVolumes(
    const std::string& sysRoot = "/sys", const std::string& devRoot = "/dev",
    const std::string& mountinfoPath = "/proc/self/mountinfo");

}  // namespace platform
