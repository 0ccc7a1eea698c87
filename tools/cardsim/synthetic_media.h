// Synthetic but varied source material for the simulated recorder: pictures with a moving
// pattern, a textured background and a frame counter, and a tone for the sound track.
//
// Pure functions of (frame number, seed): the same arguments always give the same samples,
// which keeps simulated cards deterministic. Any thread.
#pragma once

#include <cstdint>
#include <span>

namespace cardsim {

// One 8-bit YUV 4:2:0 picture in planes with their line pitches.
struct YuvPlanes {
  uint8_t* y;
  uint8_t* u;
  uint8_t* v;
  int y_pitch, u_pitch, v_pitch;
  int width, height;
};

// Paints picture `frame` of a sequence chosen by `seed`.
void PaintPicture(const YuvPlanes& out, uint64_t frame, uint32_t seed);

// Writes samples [first, first + out.size()) of a tone chosen by `seed` for `channel`, in
// -1..1, at `sample_rate` Hz (a slowly gliding sine with a second, quieter partial).
void ToneSamples(std::span<float> out, uint64_t first, int sample_rate, int channel,
                 uint32_t seed);

}  // namespace cardsim
