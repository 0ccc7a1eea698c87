// AAC-LC encoding for the simulated recorder, over FFmpeg's native "aac" encoder.
//
// Encodes `frame_count` raw AAC frames (1024 samples each, no ADTS header) of a tone and
// returns the 2-byte AudioSpecificConfig. Frames may be replayed cyclically: a decoder only
// hears a click at the seam. Deterministic for equal parameters. Any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cardsim {

struct AudioEncodeParams {
  int sample_rate = 48000;
  int channels = 1;
  int frame_count = 250;
  int bit_rate = 96000;
  uint32_t seed = 1;
};

struct EncodedAudio {
  std::vector<uint8_t> asc;  // AudioSpecificConfig
  std::vector<std::vector<uint8_t>> frames;
};

inline constexpr int kAacFrameSamples = 1024;

bool EncodeAudio(const AudioEncodeParams& params, EncodedAudio& out, std::string& error);

}  // namespace cardsim
