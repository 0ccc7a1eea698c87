// A RawVolume wrapper that injects faults, so that callers' failure paths can be tested:
// a short read on the Nth read, a failed write on the Nth write, or the card pulled (every
// transfer fails from then on). Counting starts at 1. Single-threaded use (tests).
#pragma once

#include <cerrno>
#include <memory>

#include "platform/raw_volume.h"

namespace platform {

class FaultyVolume final : public RawVolume {
 public:
  explicit FaultyVolume(std::shared_ptr<RawVolume> base) : base_(std::move(base)) {}

  void short_read_on(uint64_t n) { shortReadAt_ = n; }
  void fail_write_on(uint64_t n) { failWriteAt_ = n; }
  void pull_card() { pulled_ = true; }

  size_t read_at(uint64_t offset, std::span<uint8_t> out) override;
  size_t write_at(uint64_t offset, std::span<const uint8_t> in) override;
  bool flush() override { return !pulled_ && base_->flush(); }
  uint64_t length() const override { return base_->length(); }
  bool writable() const override { return base_->writable(); }
  int last_error() const override { return error_ ? error_ : base_->last_error(); }

  uint64_t reads() const { return reads_; }
  uint64_t writes() const { return writes_; }

 private:
  std::shared_ptr<RawVolume> base_;
  uint64_t reads_ = 0, writes_ = 0;
  uint64_t shortReadAt_ = 0, failWriteAt_ = 0;
  bool pulled_ = false;
  int error_ = 0;
};

}  // namespace platform
