#include "app/device_monitor.h"

#include <QSocketNotifier>

#ifdef KORVAN_HAVE_UDEV
#include <libudev.h>
#endif

namespace app {

#ifdef KORVAN_HAVE_UDEV

struct DeviceMonitor::Impl {
  struct UdevFree {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_monitor* m) const { udev_monitor_unref(m); }
  };
  std::unique_ptr<udev, UdevFree> context;
  std::unique_ptr<udev_monitor, UdevFree> monitor;
  std::unique_ptr<QSocketNotifier> notifier;
};

DeviceMonitor::DeviceMonitor(std::function<void()> onChange, QObject* parent)
    : QObject(parent), impl_(std::make_unique<Impl>()) {
  impl_->context.reset(udev_new());
  if (!impl_->context) return;
  impl_->monitor.reset(udev_monitor_new_from_netlink(impl_->context.get(), "udev"));
  if (!impl_->monitor) return;
  if (udev_monitor_filter_add_match_subsystem_devtype(impl_->monitor.get(), "block", nullptr) < 0 ||
      udev_monitor_enable_receiving(impl_->monitor.get()) < 0) {
    impl_->monitor.reset();
    return;
  }
  const int fd = udev_monitor_get_fd(impl_->monitor.get());
  impl_->notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
  connect(impl_->notifier.get(), &QSocketNotifier::activated, this,
          [this, onChange = std::move(onChange)] {
            // Drain the event; its details do not matter, only that something changed.
            if (udev_device* d = udev_monitor_receive_device(impl_->monitor.get())) {
              udev_device_unref(d);
              onChange();
            }
          });
}

bool DeviceMonitor::active() const { return impl_->notifier != nullptr; }

#else

struct DeviceMonitor::Impl {};

DeviceMonitor::DeviceMonitor(std::function<void()>, QObject* parent)
    : QObject(parent), impl_(std::make_unique<Impl>()) {}

bool DeviceMonitor::active() const { return false; }

#endif

DeviceMonitor::~DeviceMonitor() = default;

}  // namespace app
