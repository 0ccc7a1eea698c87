#include "platform/removable_volumes.h"

#include <sys/sysmacros.h>

#include <algorithm>
#include <filesystem>

#include "platform/block_device.h"
#include "platform/mounts.h"

namespace platform {

namespace fs = std::filesystem;

namespace {

uint64_t SizeBytes(const fs::path& folder) {
  const auto sectors = ReadSysfsLine((folder / "size").string());
  try {
    return sectors ? std::stoull(*sectors) * 512 : 0;
  } catch (...) {
    return 0;
  }
}

std::string MountPointOf(const fs::path& folder, const std::string& mountinfoPath) {
  const auto dev = ReadSysfsLine((folder / "dev").string());
  unsigned maj = 0, min = 0;
  if (!dev || std::sscanf(dev->c_str(), "%u:%u", &maj, &min) != 2) return {};
  const auto m = FindMount(makedev(maj, min), mountinfoPath);
  return m ? m->mountPoint : std::string();
}

bool IsCardDisk(const fs::path& folder, const std::string& name) {
  for (const char* skip : {"loop", "ram", "zram", "dm-", "md", "sr", "nbd"})
    if (name.rfind(skip, 0) == 0) return false;
  if (name.rfind("mmcblk", 0) == 0)
    return name.find("boot") == std::string::npos && name.find("rpmb") == std::string::npos;
  if (ReadSysfsLine((folder / "removable").string()).value_or("0") == "1") return true;
  std::error_code ec;
  const std::string real = fs::canonical(folder, ec).string();
  return !ec && real.find("/usb") != std::string::npos;
}

}  // namespace

std::vector<RemovableVolume> ListRemovableVolumes(const std::string& sysRoot,
                                                  const std::string& devRoot,
                                                  const std::string& mountinfoPath) {
  std::vector<RemovableVolume> out;
  std::error_code ec;
  std::vector<fs::path> disks;
  for (const auto& entry : fs::directory_iterator(sysRoot + "/block", ec)) disks.push_back(entry.path());
  std::sort(disks.begin(), disks.end());
  for (const fs::path& disk : disks) {
    const std::string name = disk.filename().string();
    if (!IsCardDisk(disk, name) || SizeBytes(disk) == 0) continue;
    const std::string diskPath = devRoot + "/" + name;
    std::vector<fs::path> parts;
    for (const auto& entry : fs::directory_iterator(disk, ec))
      if (fs::exists(entry.path() / "partition")) parts.push_back(entry.path());
    std::sort(parts.begin(), parts.end());
    if (parts.empty()) {
      out.push_back({diskPath, diskPath, MountPointOf(disk, mountinfoPath), SizeBytes(disk), true});
      continue;
    }
    for (const fs::path& part : parts)
      out.push_back({devRoot + "/" + part.filename().string(), diskPath,
                     MountPointOf(part, mountinfoPath), SizeBytes(part), false});
  }
  return out;
}

}  // namespace platform
