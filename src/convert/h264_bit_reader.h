// Bit reader for H.264 RBSP data: fixed-width fields and exp-Golomb codes (ue/se).
//
// Works on bytes whose emulation-prevention bytes were already removed (see UnescapeRbsp).
// Never reads past the end it was given: a read beyond it returns 0 and sets failed(),
// which stays set. Any thread; one instance per parse.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace convert {

class H264BitReader {
 public:
  explicit H264BitReader(std::span<const uint8_t> rbsp) : data_(rbsp) {}

  uint32_t Bits(int count);  // 0..32 bits, most significant first
  bool Flag() { return Bits(1) != 0; }
  uint32_t Ue();             // unsigned exp-Golomb; values above 2^32-2 fail
  int32_t Se();              // signed exp-Golomb
  void Skip(size_t bits);

  bool failed() const { return failed_; }
  size_t bits_left() const { return failed_ ? 0 : data_.size() * 8 - pos_; }

 private:
  std::span<const uint8_t> data_;
  size_t pos_ = 0;  // in bits
  bool failed_ = false;
};

// Copies a NAL unit's payload with every 00 00 03 sequence turned back into 00 00.
std::vector<uint8_t> UnescapeRbsp(std::span<const uint8_t> nal);

}  // namespace convert
