// The encoded material a simulated recorder replays: a few closed GOPs of H.264 and a run of
// AAC frames, encoded once per parameter set and shared.
//
// Recordings take pictures and audio frames cyclically from a set (valid because every GOP
// opens with an IDR picture), so simulating a large card costs one small encode.
// `GetMediaSet` caches sets by their parameters; it is thread-safe, and a set never changes
// after it is built. Its first encode lowers FFmpeg's process-wide log level to errors, so the
// encoders' statistics do not clutter the output of the tool and the tests.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "cardsim/aac_encoder.h"
#include "cardsim/h264_encoder.h"

namespace cardsim {

struct MediaParams {
  int width = 720;
  int height = 576;
  int fps = 25;
  int gop = 25;
  int gop_count = 4;
  int video_bit_rate = 2000000;
  bool high_profile = false;
  int sample_rate = 48000;
  int channels = 1;
  uint32_t seed = 1;

  bool operator==(const MediaParams&) const = default;
};

struct MediaSet {
  MediaParams params;
  EncodedVideo video;
  EncodedAudio audio;
};

// The set for `params`, encoded on first use; null with `error` set when encoding fails.
std::shared_ptr<const MediaSet> GetMediaSet(const MediaParams& params, std::string& error);

}  // namespace cardsim
