// A volume held in memory: a byte vector behind the RawVolume interface, for tests and for
// building volumes before they are written out. Not thread-safe for concurrent writes.
#pragma once

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/raw_volume.h"

namespace platform {

class MemoryVolume final : public RawVolume {
 public:
  explicit MemoryVolume(std::vector<uint8_t> bytes, bool writable = true)
      : bytes_(std::move(bytes)), writable_(writable) {}

  size_t read_at(uint64_t offset, std::span<uint8_t> out) override {
    const size_t n = available(offset, out.size());
    if (n) std::memcpy(out.data(), bytes_.data() + offset, n);
    return n;
  }
  size_t write_at(uint64_t offset, std::span<const uint8_t> in) override {
    if (!writable_) return 0;
    const size_t n = available(offset, in.size());
    if (n) std::memcpy(bytes_.data() + offset, in.data(), n);
    return n;
  }
  bool flush() override { return true; }
  uint64_t length() const override { return bytes_.size(); }
  bool writable() const override { return writable_; }
  int last_error() const override { return 0; }

  std::vector<uint8_t>& bytes() { return bytes_; }

 private:
  size_t available(uint64_t offset, size_t n) const {
    return offset >= bytes_.size() ? 0 : size_t(std::min<uint64_t>(n, bytes_.size() - offset));
  }
  std::vector<uint8_t> bytes_;
  bool writable_;
};

}  // namespace platform
