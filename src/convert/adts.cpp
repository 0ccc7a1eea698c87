#include "convert/adts.h"

namespace convert {

int SamplingFrequencyIndex(uint32_t rate) {
  // Lower bounds (exclusive) of indices 0..9; 9391..11501 is index 10, anything lower 11.
  static constexpr uint32_t kAbove[] = {92016, 75131, 55425, 46008, 37565,
                                        27712, 23003, 18782, 13855, 11501};
  for (int i = 0; i < 10; ++i)
    if (rate > kAbove[i]) return i;
  return rate >= 9391 ? 10 : 11;
}

void MakeAdtsHeader(uint8_t out[kAdtsHeaderSize], uint32_t rate, uint32_t channels,
                    uint32_t frameLength) {
  const uint32_t ch = channels & 7;
  const uint32_t len = frameLength & kAdtsMaxFrameLength;
  out[0] = 0xFF;                                                          // syncword high
  out[1] = 0xF1;                                                          // sync, MPEG-4, no CRC
  out[2] = uint8_t(0x40 | (SamplingFrequencyIndex(rate) << 2) | (ch >> 2));  // LC, index
  out[3] = uint8_t((ch << 6) | (len >> 11));
  out[4] = uint8_t(len >> 3);
  out[5] = uint8_t((len << 5) | 0x1F);  // fullness 0x7FF (variable rate), high bits
  out[6] = 0xFC;                        // fullness low bits, one raw data block
}

}  // namespace convert
