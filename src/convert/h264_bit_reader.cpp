#include "convert/h264_bit_reader.h"

namespace convert {

uint32_t H264BitReader::Bits(int count) {
  if (count <= 0) return 0;
  if (failed_ || count > 32 || size_t(count) > data_.size() * 8 - pos_) {
    failed_ = true;
    return 0;
  }
  uint64_t value = 0;
  for (int i = 0; i < count; ++i, ++pos_) {
    value = (value << 1) | ((data_[pos_ >> 3] >> (7 - (pos_ & 7))) & 1u);
  }
  return uint32_t(value);
}

uint32_t H264BitReader::Ue() {
  int zeros = 0;
  while (!failed_ && Bits(1) == 0) {
    if (++zeros > 31) failed_ = true;
  }
  if (failed_) return 0;
  const uint64_t value = (uint64_t(1) << zeros) - 1 + Bits(zeros);
  if (failed_ || value > 0xFFFFFFFEu) {
    failed_ = true;
    return 0;
  }
  return uint32_t(value);
}

int32_t H264BitReader::Se() {
  const uint32_t code = Ue();
  const int64_t magnitude = (int64_t(code) + 1) / 2;
  return int32_t((code & 1) ? magnitude : -magnitude);
}

void H264BitReader::Skip(size_t bits) {
  if (failed_ || bits > data_.size() * 8 - pos_) {
    failed_ = true;
    return;
  }
  pos_ += bits;
}

std::vector<uint8_t> UnescapeRbsp(std::span<const uint8_t> nal) {
  std::vector<uint8_t> out;
  out.reserve(nal.size());
  int zeros = 0;
  for (uint8_t byte : nal) {
    if (zeros >= 2 && byte == 3) {
      zeros = 0;
      continue;
    }
    out.push_back(byte);
    zeros = byte == 0 ? zeros + 1 : 0;
  }
  return out;
}

}  // namespace convert
