// H.264 encoding for the simulated recorder, over libavcodec's libx264.
//
// Encodes `gop_count` closed GOPs of `gop` pictures each (no B-frames, every GOP opens with an
// IDR picture), so the GOPs can be replayed in any cyclic order and still decode. Each picture
// comes back as the recorder stores it: slice NAL units, each preceded by its length as a
// 4-byte big-endian value; SPS and PPS are kept apart (they go into the configuration box).
// Deterministic for equal parameters (one encoder thread). Any thread; no shared state.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cardsim {

struct VideoEncodeParams {
  int width = 720;
  int height = 576;
  int fps = 25;
  int gop = 25;
  int gop_count = 4;
  int bit_rate = 2000000;
  bool high_profile = false;  // CABAC and 8x8 transforms on top of the fast preset
  uint32_t seed = 1;
};

struct EncodedPicture {
  bool key = false;
  std::vector<uint8_t> nals;  // length-prefixed slice NAL units
};

struct EncodedVideo {
  std::vector<uint8_t> sps, pps;  // raw NAL units, no prefix
  std::vector<EncodedPicture> pictures;
};

// false with `error` set when the encoder cannot be set up or fails.
bool EncodeVideo(const VideoEncodeParams& params, EncodedVideo& out, std::string& error);

// Calls `fn(nal, size)` for every NAL unit of an Annex B byte stream in [p, end).
template <typename Fn>
void ForEachAnnexBNal(const uint8_t* p, const uint8_t* end, Fn&& fn) {
  auto find_start = [end](const uint8_t* q) {
    for (; q + 3 <= end; ++q)
      if (q[0] == 0 && q[1] == 0 && q[2] == 1) return q;
    return end;
  };
  const uint8_t* s = find_start(p);
  while (s < end) {
    const uint8_t* nal = s + 3;
    const uint8_t* next = find_start(nal);
    const uint8_t* stop = next;
    while (stop > nal && stop[-1] == 0 && next != end) --stop;  // trailing zero of 4-byte code
    if (stop > nal) fn(nal, size_t(stop - nal));
    s = next;
  }
}

}  // namespace cardsim
