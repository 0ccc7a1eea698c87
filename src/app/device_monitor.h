// Watches the block devices for changes (a card inserted, removed, partitioned or formatted)
// through a libudev monitor and reports each event by calling `onChange` on the UI thread.
// Without libudev it reports nothing (the list can still be refreshed by hand).
// Create and destroy on the UI thread.
#pragma once

#include <QObject>
#include <functional>
#include <memory>

namespace app {

class DeviceMonitor final : public QObject {
 public:
  explicit DeviceMonitor(std::function<void()> onChange, QObject* parent = nullptr);
  ~DeviceMonitor() override;
  // Whether the monitor is listening.
  bool active() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace app
