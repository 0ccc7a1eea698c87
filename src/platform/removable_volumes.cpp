#include "platform/removable_volumes.h"

#include <sys/sysmacros.h>

#include <algorithm>
#include <filesystem>

#include "platform/block_device.h"
#include "platform/mounts.h"

namespace platform {

namespace {

namespace fs = std::filesystem;

bool IsCardDisk(const fs::path& disk) {
  const std::string name = disk.filename().string();
  for (const char* skip : {"loop", "ram", "zram", "dm-", "md", "sr", "nbd"})
    if (name.rfind(skip, 0) == 0) return false;
  if (name.rfind("mmcblk", 0) == 0) return name.find("boot") == std::string::npos &&
                                           name.find("rpmb") == std::string::npos;
  if (ReadSysfsLine((disk / "removable").string()).value_or("0") == "1") return true;
  std::error_code ec;
  const std::string real = fs::canonical(disk, ec).string();
  return !ec && real.find("/usb") != std::string::npos;
}

bool HasSize(const fs::path& block) {
  return ReadSysfsLine((block / "size").string()).value_or("0") != "0";
}

std::string MountPointOf(const fs::path& block, const std::string& mountinfoPath) {
  const auto dev = ReadSysfsLine((block / "dev").string());
  if (!dev) return {};
  unsigned maj = 0, min = 0;
  if (std::sscanf(dev->c_str(), "%u:%u", &maj, &min) != 2) return {};
  const auto mount = FindMount(makedev(maj, min), mountinfoPath);
  return mount ? mount->mountPoint : std::string();
}

}  // namespace

std::vector<RemovableVolume> ListRemovableVolumes(const std::string& sysRoot,
                                                  const std::string& devRoot,
                                                  const std::string& mountinfoPath) {
  std::vector<RemovableVolume> volumes;
  std::error_code ec;
  std::vector<fs::path> disks;
  for (const auto& entry : fs::directory_iterator(sysRoot + "/block", ec)) disks.push_back(entry.path());
  std::sort(disks.begin(), disks.end());
  for (const fs::path& disk : disks) {
    if (!IsCardDisk(disk) || !HasSize(disk)) continue;
    std::vector<fs::path> parts;
    for (const auto& entry : fs::directory_iterator(disk, ec))
      if (fs::exists(entry.path() / "partition")) parts.push_back(entry.path());
    std::sort(parts.begin(), parts.end());
    if (parts.empty()) parts.push_back(disk);
    for (const fs::path& part : parts) {
      if (!HasSize(part)) continue;
      volumes.push_back({devRoot + "/" + part.filename().string(), MountPointOf(part, mountinfoPath)});
    }
  }
  return volumes;
}

}  // namespace platform
