// The dark-region map: a four-level grey picture of where a decoded picture is dark, middle or
// bright after smoothing, with every dark region that bright points enclose completely
// outlined and its first candidate point marked with an X.
//
// Pure function of the luma plane. The 360 x 288 grid takes every second sample of every
// second line of a picture about 720 wide and every sample otherwise; grid points past the
// plane repeat its last column or line. Levels: dark 24, middle 92, bright 160, marked 228.
// Any thread.
#pragma once

#include <cstdint>
#include <vector>

#include "preview/preview_picture.h"

namespace preview {

// The luma plane of a decoded picture.
struct LumaView {
  const uint8_t* data = nullptr;
  int pitch = 0;
  int width = 0, height = 0;
  bool empty() const { return data == nullptr || width <= 0 || height <= 0; }
};

// The map as grid values: -1 dark, 0 middle, 1 bright, 2 marked; 360 x 288, line by line.
std::vector<int> DarkRegionLevels(const LumaView& luma);

// The map as a picture (grey words B = G = R = value x 68 + 92). An empty plane gives the
// black picture.
Picture DarkRegionMap(const LumaView& luma);

}  // namespace preview
