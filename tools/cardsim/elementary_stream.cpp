#include "cardsim/elementary_stream.h"

#include "base/endian.h"

namespace cardsim {
namespace {

int SamplingFrequencyIndex(int rate) {
  constexpr int kLower[] = {92016, 75131, 55425, 46008, 37565, 27712,
                            23003, 18782, 13855, 11501, 9390};
  for (int i = 0; i < 11; ++i)
    if (rate > kLower[i]) return i;
  return 11;
}

}  // namespace

void AppendAnnexBNal(std::span<const uint8_t> nal, std::vector<uint8_t>& out) {
  static constexpr uint8_t kStartCode[4] = {0, 0, 0, 1};
  out.insert(out.end(), kStartCode, kStartCode + 4);
  out.insert(out.end(), nal.begin(), nal.end());
}

void AppendAnnexB(std::span<const uint8_t> prefixed, std::vector<uint8_t>& out) {
  size_t at = 0;
  while (prefixed.size() - at > 4) {
    const int32_t length = int32_t(base::load_be32(&prefixed[at]));
    if (length <= 0 || size_t(length) > prefixed.size() - at - 4) break;
    AppendAnnexBNal(prefixed.subspan(at + 4, size_t(length)), out);
    at += 4 + size_t(length);
  }
}

std::array<uint8_t, 7> AdtsHeader(int sample_rate, int channels, size_t frame_length) {
  const int index = SamplingFrequencyIndex(sample_rate);
  return {0xFF,
          0xF1,
          uint8_t(0x40 | (index << 2) | (channels >> 2)),
          uint8_t((channels << 6) | ((frame_length >> 11) & 0x03)),
          uint8_t(frame_length >> 3),
          uint8_t((frame_length << 5) | 0x1F),
          0xFC};
}

}  // namespace cardsim
