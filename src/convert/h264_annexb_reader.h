// Splits an H.264 Annex B byte stream file into NAL units, streaming.
//
// Start codes are 00 00 01, optionally preceded by more zero bytes (the 4-byte form and
// trailing zeros); bytes before the first start code are ignored, trailing zero bytes are
// not part of a unit, empty units are skipped. The scan jumps between 0x01 bytes with
// memchr, so compressed data costs no per-byte work. A unit must fit the buffer, which
// grows from `chunk` up to `max_unit`; a larger one is reported as kUnitTooLarge.
// One instance per pass; not thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "convert/mux_file_io.h"

namespace convert {

class AnnexBReader {
 public:
  enum class Result { kUnit, kEnd, kReadError, kUnitTooLarge };

  explicit AnnexBReader(InputFile& file, size_t chunk = size_t(4) << 20,
                        size_t max_unit = size_t(48) << 20);

  // The next unit, without start code and trailing zeros; valid until the next call.
  Result Next(std::span<const uint8_t>* unit);

 private:
  // Keeps bytes from begin_ on, reads more behind them; false at the end or on an error.
  bool Refill();
  bool SkipToFirstStartCode();

  InputFile& file_;
  std::vector<uint8_t> buffer_;
  size_t max_unit_;
  size_t begin_ = 0;  // first byte of the current unit (or of unread data)
  size_t scan_ = 0;   // where the search for the next start code resumes
  size_t end_ = 0;    // end of valid data
  bool eof_ = false;
  bool started_ = false;
  bool too_large_ = false;
};

}  // namespace convert
