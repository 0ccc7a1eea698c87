// The volumes that may hold a recorder card: the partitions of every removable, SD/MMC or USB
// disk (a disk without partitions is listed itself), each with its node and mount point.
// Built-in SD readers (mmcblk) report `removable` 0 and are listed anyway. Read from sysfs and
// /proc/self/mountinfo; nothing is opened. Any thread.
#pragma once

#include <string>
#include <vector>

namespace platform {

struct RemovableVolume {
  std::string devicePath;  // "/dev/sdb1", "/dev/mmcblk0p1", or "/dev/sdc" when unpartitioned
  std::string mountPoint;  // empty when not mounted
};

// `sysRoot`, `devRoot` and `mountinfoPath` are the system's except in tests.
std::vector<RemovableVolume> ListRemovableVolumes(
    const std::string& sysRoot = "/sys", const std::string& devRoot = "/dev",
    const std::string& mountinfoPath = "/proc/self/mountinfo");

}  // namespace platform
