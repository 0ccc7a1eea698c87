// Brackets raw metadata writes to a card volume on a block device: holds flock(LOCK_EX) on the
// whole-disk node (so udev does not probe in between) and unmounts the volume when mounted, so
// that the vfat driver cannot write a stale FAT or directory back over what we write. The
// destructor releases the lock and mounts the volume again only when this session unmounted
// it (through the device access broker when the process may not (un)mount itself). For
// image files there is nothing to bracket (Begin with an empty device path). UI thread only.
#pragma once

#include <optional>
#include <string>

#include "platform/mounts.h"

namespace platform {

class RawWriteSession {
 public:
  // `partitionPath`: the volume's node ("/dev/sdb1"); empty for image files.
  // `diskPath`: its whole-disk node ("/dev/sdb"), locked while the session lives.
  RawWriteSession(const std::string& partitionPath, const std::string& diskPath);
  ~RawWriteSession();
  RawWriteSession(const RawWriteSession&) = delete;
  RawWriteSession& operator=(const RawWriteSession&) = delete;

  // False when the volume is mounted and could not be unmounted: do not write then.
  bool ready() const { return ready_; }
  bool unmounted() const { return unmounted_.has_value(); }

 private:
  int lockFd_ = -1;
  bool ready_ = true;
  std::optional<MountInfo> unmounted_;
  std::string brokerPath_;  // unmounted through the device access broker: mount it the same way
};

}  // namespace platform
