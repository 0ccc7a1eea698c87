// Raw access to card devices that this process may not open itself. On a desktop an ordinary
// user has no right to /dev/sdb1; a system service (UDisks2) can open the node on the user's
// behalf after the system's own authorisation, and can unmount and mount its file system.
//
// The platform layer only knows this interface; the desktop program installs an
// implementation once at start-up (before any medium is opened) and removes it at the end.
// Without one, or when the broker is not running, devices are opened directly and a lack of
// rights is reported as such. Implementations are called on the UI thread.
#pragma once

#include <string>

namespace platform {

class DeviceAccessBroker {
 public:
  virtual ~DeviceAccessBroker() = default;
  // True when the broker service is there to ask.
  virtual bool available() = 0;
  // Opens block device `devicePath` read-only or read-write; an open file descriptor that
  // the caller owns, or -1 with `reason` set (refused, cancelled, no such device).
  virtual int openDevice(const std::string& devicePath, bool writable, std::string& reason) = 0;
  // Unmounts / mounts the file system on `devicePath`; false with `reason` set on failure.
  virtual bool unmount(const std::string& devicePath, std::string& reason) = 0;
  virtual bool mount(const std::string& devicePath, std::string& reason) = 0;
};

// The installed broker (null when none). Set once at start-up, before media are opened.
void SetDeviceAccessBroker(DeviceAccessBroker* broker);
DeviceAccessBroker* CurrentDeviceAccessBroker();

// True when this process may open `devicePath` raw as it is (read-only, or read-write with
// `writable`): the node's permissions let it, as for root or members of the disk group.
bool CanOpenDirectly(const std::string& devicePath, bool writable);

// True when devices can be reached at all: directly (root, disk group) or through a running
// broker. When false, the user has to run the program as root or join the disk group.
bool DeviceAccessPossible(const std::string& devicePath);

}  // namespace platform
