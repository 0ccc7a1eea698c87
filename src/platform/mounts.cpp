#include "platform/mounts.h"

#include <sys/mount.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace platform {
namespace {
bool IsOctal(char c) { return c >= '0' && c <= '7'; }
}  // namespace

std::string UnescapeMountField(const std::string& field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && IsOctal(field[i + 1]) &&
        IsOctal(field[i + 2]) && IsOctal(field[i + 3])) {
      const int v = (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
      out.push_back(char(v));
      i += 3;
    } else {
      out.push_back(field[i]);
    }
  }
  return out;
}

std::optional<MountInfo> FindMount(dev_t device, const std::string& mountinfoPath) {
  std::ifstream in(mountinfoPath);
  const std::string wanted =
      std::to_string(major(device)) + ":" + std::to_string(minor(device));
  std::string line;
  while (std::getline(in, line)) {
    // id parent MAJ:MIN root mountpoint options [optional fields...] - fstype source superopts
    std::istringstream fields(line);
    std::vector<std::string> f;
    for (std::string w; fields >> w;) f.push_back(w);
    if (f.size() < 10 || f[2] != wanted) continue;
    size_t dash = 6;
    while (dash < f.size() && f[dash] != "-") ++dash;
    if (dash + 2 >= f.size()) continue;
    MountInfo m;
    m.mountPoint = UnescapeMountField(f[4]);
    m.mountOptions = f[5];
    m.fsType = f[dash + 1];
    m.source = UnescapeMountField(f[dash + 2]);
    if (dash + 3 < f.size()) m.superOptions = f[dash + 3];
    return m;
  }
  return std::nullopt;
}

bool Unmount(const MountInfo& m) { return ::umount2(m.mountPoint.c_str(), 0) == 0; }

bool Remount(const MountInfo& m) {
  // Per-mount flags go into mountflags; the file-system options (minus rw/ro) into data.
  unsigned long flags = 0;
  std::istringstream opts(m.mountOptions);
  for (std::string o; std::getline(opts, o, ',');) {
    if (o == "ro") flags |= MS_RDONLY;
    else if (o == "nosuid") flags |= MS_NOSUID;
    else if (o == "nodev") flags |= MS_NODEV;
    else if (o == "noexec") flags |= MS_NOEXEC;
    else if (o == "noatime") flags |= MS_NOATIME;
    else if (o == "relatime") flags |= MS_RELATIME;
  }
  std::string data;
  std::istringstream super(m.superOptions);
  for (std::string o; std::getline(super, o, ',');) {
    if (o == "rw" || o == "ro") continue;
    if (!data.empty()) data += ',';
    data += o;
  }
  // A desktop automounter may have removed its mount folder when we unmounted.
  std::error_code ec;
  std::filesystem::create_directories(m.mountPoint, ec);
  return ::mount(m.source.c_str(), m.mountPoint.c_str(), m.fsType.c_str(), flags,
                 data.empty() ? nullptr : data.c_str()) == 0;
}

}  // namespace platform
