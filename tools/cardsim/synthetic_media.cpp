#include "cardsim/synthetic_media.h"

#include <cmath>

namespace cardsim {
namespace {

// 3x5 digit glyphs, one row per 3-bit group, most significant bit on the left.
constexpr uint8_t kDigits[10][5] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 1, 1}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7}};

uint32_t Hash(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352dU;
  x ^= x >> 15;
  x *= 0x846ca68bU;
  x ^= x >> 16;
  return x;
}

void DrawCounter(const YuvPlanes& out, uint64_t frame) {
  const int scale = out.height >= 400 ? 6 : 3;
  char text[12];
  int n = 0;
  uint64_t v = frame;
  do {
    text[n++] = char(v % 10);
    v /= 10;
  } while (v && n < 12);
  const int x0 = 8, y0 = 8;
  for (int d = 0; d < n; ++d) {
    const uint8_t* glyph = kDigits[int(text[n - 1 - d])];
    for (int row = 0; row < 5; ++row)
      for (int col = 0; col < 3; ++col) {
        const bool on = (glyph[row] >> (2 - col)) & 1;
        for (int yy = 0; yy < scale; ++yy)
          for (int xx = 0; xx < scale; ++xx) {
            const int x = x0 + (d * 4 + col) * scale + xx, y = y0 + row * scale + yy;
            if (x < out.width && y < out.height) out.y[y * out.y_pitch + x] = on ? 235 : 16;
          }
      }
  }
}

}  // namespace

void PaintPicture(const YuvPlanes& out, uint64_t frame, uint32_t seed) {
  const uint32_t h = Hash(seed);
  const int dx = int(h % 5) + 1, dy = int((h >> 8) % 3) + 1;
  const int square = out.height / 6;
  const int sx = int((frame * uint64_t(dx) * 3) % uint64_t(out.width - square));
  const int sy = int((frame * uint64_t(dy) * 2) % uint64_t(out.height - square));
  const uint32_t texture_seed = Hash(seed ^ 0x9e3779b9U);
  for (int y = 0; y < out.height; ++y) {
    uint8_t* row = out.y + y * out.y_pitch;
    for (int x = 0; x < out.width; ++x) {
      // A diagonal gradient drifting with time, a fine texture scrolling sideways.
      const int grad = int((x + y + int(frame) * 2) & 0xFF) / 2 + 40;
      const uint32_t t = Hash(texture_seed + uint32_t((x + int(frame)) / 4) * 7919U +
                              uint32_t(y / 4) * 104729U);
      int luma = grad + int(t & 31) - 16;
      if (x >= sx && x < sx + square && y >= sy && y < sy + square) luma = 200 + int(t & 15);
      row[x] = uint8_t(luma < 16 ? 16 : luma > 235 ? 235 : luma);
    }
  }
  const int cw = out.width / 2, ch = out.height / 2;
  for (int y = 0; y < ch; ++y)
    for (int x = 0; x < cw; ++x) {
      out.u[y * out.u_pitch + x] = uint8_t(128 + ((x + int(h & 63) + int(frame)) & 63) - 32);
      out.v[y * out.v_pitch + x] = uint8_t(128 + ((y + int((h >> 6) & 63)) & 63) - 32);
    }
  DrawCounter(out, frame);
}

void ToneSamples(std::span<float> out, uint64_t first, int sample_rate, int channel,
                 uint32_t seed) {
  const double base = 220.0 + double(Hash(seed) % 440) + 30.0 * channel;
  const double kTwoPi = 6.283185307179586;
  for (size_t i = 0; i < out.size(); ++i) {
    const double t = double(first + i) / sample_rate;
    const double glide = 1.0 + 0.05 * std::sin(kTwoPi * 0.25 * t);
    const double phase = kTwoPi * base * t * glide;
    out[i] = float(0.35 * std::sin(phase) + 0.1 * std::sin(3.0 * phase));
  }
}

}  // namespace cardsim
