#include "preview/preview_picture.h"

#include <algorithm>

namespace preview {

Picture BlackPicture() {
  Picture p;
  p.pixels.assign(size_t(p.width) * p.height, kBlackPixel);
  return p;
}

int SampleStep(int width) {
  if (width >= 2 * kPictureWidth - 32 && width <= 2 * kPictureWidth + 32) return 2;
  if (width >= kPictureWidth - 16 && width <= kPictureWidth + 16) return 1;
  return 0;
}

uint32_t YuvToPixel(int y, int u, int v) {
  u -= 128;
  v -= 128;
  const auto clamp = [](int x) { return uint32_t(std::clamp(x, 0, 255)); };
  const uint32_t r = clamp((1024 * y + 1436 * v + 512) >> 10);
  const uint32_t g = clamp((1024 * y - 352 * u - 731 * v + 512) >> 10);
  const uint32_t b = clamp((1024 * y + 1815 * u + 512) >> 10);
  return b | g << 8 | r << 16;
}

bool ConvertPicture(const YuvView& yuv, Picture& out) {
  const int s = SampleStep(yuv.width);
  if (s == 0 || yuv.empty() || !yuv.plane[1] || !yuv.plane[2]) return false;
  out.width = kPictureWidth;
  out.height = kPictureHeight;
  out.pixels.resize(size_t(kPictureWidth) * kPictureHeight);
  const int lastLine = yuv.height - 1, lastColumn = yuv.width - 1;
  const int lastChromaLine = (yuv.height + 1) / 2 - 1, lastChromaColumn = (yuv.width + 1) / 2 - 1;
  for (int i = 0; i < kPictureHeight; ++i) {
    const int line = std::min(i * s, lastLine);
    const int chromaLine = std::min((i * s) / 2, lastChromaLine);
    const uint8_t* luma = yuv.plane[0] + size_t(line) * yuv.pitch[0];
    const uint8_t* cb = yuv.plane[1] + size_t(chromaLine) * yuv.pitch[1];
    const uint8_t* cr = yuv.plane[2] + size_t(chromaLine) * yuv.pitch[2];
    uint32_t* row = &out.pixels[size_t(i) * kPictureWidth];
    for (int j = 0; j < kPictureWidth; ++j) {
      const int column = std::min(j * s, lastColumn);
      const int chromaColumn = std::min((j * s) / 2, lastChromaColumn);
      row[j] = YuvToPixel(luma[column], cb[chromaColumn], cr[chromaColumn]);
    }
  }
  return true;
}

}  // namespace preview
