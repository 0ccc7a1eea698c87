#include "platform/faulty_volume.h"

namespace platform {

size_t FaultyVolume::read_at(uint64_t offset, std::span<uint8_t> out) {
  ++reads_;
  if (pulled_) {
    error_ = ENODEV;
    return 0;
  }
  const size_t n = base_->read_at(offset, out);
  if (reads_ == shortReadAt_) {
    error_ = EIO;
    return n / 2;
  }
  return n;
}

size_t FaultyVolume::write_at(uint64_t offset, std::span<const uint8_t> in) {
  ++writes_;
  if (pulled_) {
    error_ = ENODEV;
    return 0;
  }
  if (writes_ == failWriteAt_) {
    error_ = EIO;
    return 0;
  }
  return base_->write_at(offset, in);
}

}  // namespace platform
