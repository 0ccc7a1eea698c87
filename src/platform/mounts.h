// Mount points of block devices from /proc/self/mountinfo, and unmounting/remounting a card
// volume around raw metadata writes (the vfat driver caches the FAT and directories and would
// write its stale copy back). Any thread may look up; (un)mounting is done on the UI thread.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace platform {

struct MountInfo {
  std::string mountPoint;    // unescaped path
  std::string fsType;        // "vfat", ...
  std::string source;        // "/dev/sdb1"
  std::string mountOptions;  // per-mount options ("rw,nosuid,nodev,relatime")
  std::string superOptions;  // file-system options ("rw,fmask=0022,...")
};

// The first mount of device number `device`; nullopt when it is not mounted.
std::optional<MountInfo> FindMount(dev_t device,
                                   const std::string& mountinfoPath = "/proc/self/mountinfo");

// Turns "\040"-style octal escapes of mountinfo back into characters.
std::string UnescapeMountField(const std::string& field);

// umount2 of the mount point; true on success (errno kept for the caller).
bool Unmount(const MountInfo& m);

// Mounts `m.source` again at `m.mountPoint` with its former type and options.
bool Remount(const MountInfo& m);

}  // namespace platform
