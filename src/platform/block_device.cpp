#include "platform/block_device.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <fstream>

namespace platform {

namespace fs = std::filesystem;

std::optional<std::string> ReadSysfsLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  if (!in || !std::getline(in, line)) return std::nullopt;
  return line;
}

bool IsBlockDevice(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISBLK(st.st_mode);
}

std::optional<BlockDeviceFacts> DescribeBlockDevice(dev_t device, const std::string& sysRoot,
                                                    const std::string& devRoot) {
  const std::string link = sysRoot + "/dev/block/" + std::to_string(major(device)) + ":" +
                           std::to_string(minor(device));
  std::error_code ec;
  const fs::path real = fs::canonical(link, ec);
  if (ec) return std::nullopt;
  BlockDeviceFacts f;
  f.device = device;
  f.name = real.filename().string();
  f.diskName = f.name;
  if (const auto number = ReadSysfsLine((real / "partition").string())) {
    try {
      f.partition = std::stoi(*number);
    } catch (...) {
      f.partition = 0;
    }
    // A partition's sysfs folder sits inside its disk's folder.
    f.diskName = real.parent_path().filename().string();
  }
  f.diskPath = devRoot + "/" + f.diskName;
  return f;
}

std::optional<std::string> PartitionNode(const BlockDeviceFacts& disk, int partition,
                                         const std::string& sysRoot, const std::string& devRoot) {
  std::error_code ec;
  const fs::path folder = fs::canonical(sysRoot + "/class/block/" + disk.name, ec);
  if (ec) return std::nullopt;
  const std::string wanted = std::to_string(partition);
  for (const fs::directory_entry& child : fs::directory_iterator(folder, ec)) {
    if (ReadSysfsLine((child.path() / "partition").string()) != wanted) continue;
    const std::string node = devRoot + "/" + child.path().filename().string();
    if (IsBlockDevice(node)) return node;
  }
  return std::nullopt;
}

std::optional<BlockDeviceFacts> QueryBlockDevice(const std::string& path,
                                                 const std::string& sysRoot,
                                                 const std::string& devRoot) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) return std::nullopt;
  return DescribeBlockDevice(st.st_rdev, sysRoot, devRoot);
}

}  // namespace platform
