#include "platform/device_access.h"

#include <unistd.h>

#include <atomic>

namespace platform {

namespace {
std::atomic<DeviceAccessBroker*> g_broker{nullptr};
}  // namespace

void SetDeviceAccessBroker(DeviceAccessBroker* broker) { g_broker.store(broker); }

DeviceAccessBroker* CurrentDeviceAccessBroker() { return g_broker.load(); }

bool CanOpenDirectly(const std::string& devicePath, bool writable) {
  // Effective ids decide what open() may do (setuid helpers, setpriv in tests).
  return ::eaccess(devicePath.c_str(), writable ? (R_OK | W_OK) : R_OK) == 0;
}

bool DeviceAccessPossible(const std::string& devicePath) {
  if (CanOpenDirectly(devicePath, false)) return true;
  DeviceAccessBroker* broker = CurrentDeviceAccessBroker();
  return broker && broker->available();
}

}  // namespace platform
