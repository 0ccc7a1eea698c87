#include "convert/h264_annexb_reader.h"

#include <algorithm>
#include <cstring>

namespace convert {

AnnexBReader::AnnexBReader(InputFile& file, size_t chunk, size_t max_unit)
    : file_(file), buffer_(std::max<size_t>(chunk, 64)), max_unit_(std::max(max_unit, chunk)) {}

bool AnnexBReader::Refill() {
  if (eof_) return false;
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    scan_ -= begin_;
    end_ -= begin_;
    begin_ = 0;
  }
  if (end_ == buffer_.size()) {
    if (buffer_.size() >= max_unit_) {
      too_large_ = true;
      return false;
    }
    buffer_.resize(std::min(buffer_.size() * 2, max_unit_));
  }
  const size_t got = file_.Read(buffer_.data() + end_, buffer_.size() - end_);
  end_ += got;
  if (got == 0) eof_ = true;
  return got > 0;
}

bool AnnexBReader::SkipToFirstStartCode() {
  for (;;) {
    const uint8_t* base = buffer_.data();
    size_t from = std::max(scan_, begin_ + 2);
    while (from < end_) {
      const void* hit = std::memchr(base + from, 0x01, end_ - from);
      if (hit == nullptr) break;
      const size_t q = size_t(static_cast<const uint8_t*>(hit) - base);
      if (base[q - 1] == 0 && base[q - 2] == 0) {
        begin_ = scan_ = q + 1;
        started_ = true;
        return true;
      }
      from = q + 1;
    }
    // Keep only the last two bytes: they may open a start code.
    begin_ = end_ >= begin_ + 2 ? end_ - 2 : begin_;
    scan_ = end_;
    if (!Refill()) return false;
  }
}

AnnexBReader::Result AnnexBReader::Next(std::span<const uint8_t>* unit) {
  if (!started_ && !SkipToFirstStartCode()) {
    if (file_.failed()) return Result::kReadError;
    return too_large_ ? Result::kUnitTooLarge : Result::kEnd;
  }
  for (;;) {
    const uint8_t* base = buffer_.data();
    size_t from = std::max(scan_, begin_ + 2);
    size_t unit_end = 0;
    size_t next_begin = 0;
    bool found = false;
    while (from < end_) {
      const void* hit = std::memchr(base + from, 0x01, end_ - from);
      if (hit == nullptr) break;
      const size_t q = size_t(static_cast<const uint8_t*>(hit) - base);
      if (base[q - 1] == 0 && base[q - 2] == 0) {
        unit_end = q - 2;
        next_begin = q + 1;
        found = true;
        break;
      }
      from = q + 1;
    }
    if (!found) {
      scan_ = std::max(begin_, end_ >= 2 ? end_ - 2 : 0);
      if (Refill()) continue;
      if (file_.failed()) return Result::kReadError;
      if (too_large_) return Result::kUnitTooLarge;
      if (begin_ >= end_) return Result::kEnd;
      unit_end = end_;
      next_begin = end_;
    }
    const size_t unit_begin = begin_;
    while (unit_end > unit_begin && base[unit_end - 1] == 0) --unit_end;
    begin_ = scan_ = next_begin;
    if (unit_end > unit_begin) {
      *unit = std::span<const uint8_t>(base + unit_begin, unit_end - unit_begin);
      return Result::kUnit;
    }
  }
}

}  // namespace convert
