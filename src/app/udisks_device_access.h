// The desktop's disk service (UDisks2 on the system D-Bus) as the device access broker: opens
// card devices for an ordinary user through org.freedesktop.UDisks2.Block.OpenDevice, so that
// polkit asks for authorisation where the system wants it, and unmounts and mounts their file
// systems through org.freedesktop.UDisks2.Filesystem. main() installs one for the whole run.
// UI thread only (the calls block until the user has answered the authorisation).
#pragma once

#include <QString>

#include "platform/device_access.h"

namespace app {

class UDisksDeviceAccess final : public platform::DeviceAccessBroker {
 public:
  bool available() override;
  int openDevice(const std::string& devicePath, bool writable, std::string& reason) override;
  bool unmount(const std::string& devicePath, std::string& reason) override;
  bool mount(const std::string& devicePath, std::string& reason) override;

 private:
  // UDisks2's object for the device node, empty with `reason` set when it has none.
  QString objectPath(const std::string& devicePath, std::string& reason);
  bool callFilesystem(const std::string& devicePath, const char* method, std::string& reason);
};

}  // namespace app
