// Facts about a block device node from sysfs: whether a path is a block device, which disk
// holds it and its partition number (Linux: /sys/dev/block/MAJ:MIN, its `partition` file and
// its parent folder). Plain file reads; any thread may call.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

struct BlockDeviceFacts {
  dev_t device = 0;        // st_rdev of the node
  std::string name;        // kernel name, e.g. "sdb1"
  int partition = 0;       // 1-based partition number; 0 for a whole disk
  std::string diskName;    // the whole disk holding it ("sdb"); itself for a whole disk
  std::string diskPath;    // its node, "/dev/" + diskName
};

// True when `path` names a block device node.
bool IsBlockDevice(const std::string& path);

// Facts of the block device at `path`; nullopt when it is no block device or sysfs lacks it.
// `sysRoot` and `devRoot` are "/sys" and "/dev" except in tests.
std::optional<BlockDeviceFacts> QueryBlockDevice(const std::string& path,
                                                 const std::string& sysRoot = "/sys",
                                                 const std::string& devRoot = "/dev");

// The same from a device number, without touching the node.
std::optional<BlockDeviceFacts> DescribeBlockDevice(dev_t device,
                                                    const std::string& sysRoot = "/sys",
                                                    const std::string& devRoot = "/dev");

// The node of partition `partition` (1-based) of whole disk `disk`, found among the disk's
// sysfs children by their `partition` number; nullopt when the kernel shows no such partition
// (partition scanning off, as on a loop device attached without it).
std::optional<std::string> PartitionNode(const BlockDeviceFacts& disk, int partition,
                                         const std::string& sysRoot = "/sys",
                                         const std::string& devRoot = "/dev");

// First line of a small sysfs text file, without the newline; nullopt when unreadable.
std::optional<std::string> ReadSysfsLine(const std::string& path);

}  // namespace platform
