// The preview's 360 x 288 picture and how a decoded YUV 4:2:0 picture becomes one.
//
// Pixels are 32-bit words B | G << 8 | R << 16. The sample step is chosen from the decoded
// picture width: a picture about twice 360 wide is halved in both directions, one about 360
// wide is shown 1:1, anything else is not shown. Sample positions past the decoded picture
// (a 352-wide picture shown 360 wide, a picture shorter than 288 lines) repeat its last column
// or line instead of reading outside it. Colour conversion is integer arithmetic with 10
// fraction bits. Pure functions over caller-owned planes; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace preview {

inline constexpr int kPictureWidth = 360;
inline constexpr int kPictureHeight = 288;
// Red 16, green 16 and blue 384: the blue value spills into the green byte.
inline constexpr uint32_t kBlackPixel = 0x180u | (16u << 8) | (16u << 16);

struct Picture {
  int width = kPictureWidth;
  int height = kPictureHeight;
  std::vector<uint32_t> pixels;  // width x height words, line after line
  uint32_t at(int column, int line) const { return pixels[size_t(line) * width + column]; }
};

// One decoded picture as planes with their line pitches (YUV 4:2:0, 8 bits).
struct YuvView {
  const uint8_t* plane[3] = {nullptr, nullptr, nullptr};
  int pitch[3] = {0, 0, 0};
  int width = 0, height = 0;  // of the luma plane
  bool empty() const { return plane[0] == nullptr || width <= 0 || height <= 0; }
};

Picture BlackPicture();

// 2 for a width near 720, 1 for a width near 360, 0 (not shown) otherwise.
int SampleStep(int width);

// One pixel word from a luma and two chroma samples.
uint32_t YuvToPixel(int y, int u, int v);

// Fills `out` with the sampled, colour-converted picture; false (out untouched) when the
// width has no sample step.
bool ConvertPicture(const YuvView& yuv, Picture& out);

}  // namespace preview
