// Decoder of the integrity record text written by the text encoder (etenc.h). Byte boundaries
// are where the alphabet changes; a byte's difference to the previous byte is the sum of
// weight i times the symbol number of its i-th symbol, added under the first alphabet and
// subtracted under the second. Pure function of its input; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace convert {

struct TextDecodeResult {
  bool ok = false;
  size_t errorAt = 0;  // character index of the first symbol that does not decode
  std::string error;   // what is wrong there
};

// Decodes [text, end) into `out` (replaced).
TextDecodeResult DecodeText(const char* text, const char* end, std::vector<uint8_t>& out);

}  // namespace convert
