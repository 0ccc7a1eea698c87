// Big-endian byte building for MP4 boxes with announced sizes.
//
// A BoxScope writes a box header with the size its caller computed beforehand and, when it
// ends, checks that exactly that many bytes were written; a mismatch marks the buffer bad
// (ok() false) instead of producing a corrupt file. Boxes above 4 GiB are not built here
// (only mdat gets that large, and it is written by the copy pass). One buffer per thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace convert {

class BoxBuffer {
 public:
  void U8(uint8_t v) { bytes_.push_back(v); }
  void U16(uint16_t v);
  void U24(uint32_t v);
  void U32(uint32_t v);
  void U64(uint64_t v);
  void FourCC(const char* code);  // exactly 4 characters
  void Bytes(std::span<const uint8_t> data) { bytes_.insert(bytes_.end(), data.begin(), data.end()); }
  void Zeros(size_t count) { bytes_.insert(bytes_.end(), count, 0); }

  void Reserve(size_t size) { bytes_.reserve(size); }
  size_t size() const { return bytes_.size(); }
  const std::vector<uint8_t>& bytes() const { return bytes_; }
  bool ok() const { return ok_; }
  void MarkBad() { ok_ = false; }

 private:
  std::vector<uint8_t> bytes_;
  bool ok_ = true;
};

class BoxScope {
 public:
  static constexpr uint64_t kHeader = 8;
  static constexpr uint64_t kFullHeader = 12;

  // Plain box of `size` bytes, header included.
  BoxScope(BoxBuffer& buffer, const char* type, uint64_t size);
  // Full box: header plus version and 24-bit flags.
  BoxScope(BoxBuffer& buffer, const char* type, uint64_t size, uint8_t version, uint32_t flags);
  ~BoxScope();
  BoxScope(const BoxScope&) = delete;
  BoxScope& operator=(const BoxScope&) = delete;

 private:
  BoxBuffer& buffer_;
  size_t start_;
  uint64_t size_;
};

}  // namespace convert
