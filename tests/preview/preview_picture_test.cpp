// The picture the preview shows: sample step by width, the integer colour formula, the black
// picture's exact word, and sampling that never reads outside the decoded planes.
#include <gtest/gtest.h>

#include <vector>

#include "preview/preview_picture.h"

namespace {

using namespace preview;

// Planes filled by a formula, with a line pitch wider than the picture.
struct Planes {
  int width, height, pitch, chromaPitch;
  std::vector<uint8_t> y, u, v;
  Planes(int w, int h) : width(w), height(h), pitch(w + 32), chromaPitch(w / 2 + 16) {
    y.assign(size_t(pitch) * h, 0xEE);  // the padding holds a value no sample has
    u.assign(size_t(chromaPitch) * (h / 2), 0xEE);
    v.assign(size_t(chromaPitch) * (h / 2), 0xEE);
    for (int r = 0; r < h; ++r)
      for (int c = 0; c < w; ++c) y[size_t(r) * pitch + c] = uint8_t((r * 3 + c) % 200 + 16);
    for (int r = 0; r < h / 2; ++r)
      for (int c = 0; c < w / 2; ++c) {
        u[size_t(r) * chromaPitch + c] = uint8_t((r + 2 * c) % 160 + 48);
        v[size_t(r) * chromaPitch + c] = uint8_t((3 * r + c) % 160 + 48);
      }
  }
  YuvView view() const {
    YuvView s;
    s.plane[0] = y.data(), s.plane[1] = u.data(), s.plane[2] = v.data();
    s.pitch[0] = pitch, s.pitch[1] = s.pitch[2] = chromaPitch;
    s.width = width, s.height = height;
    return s;
  }
  uint32_t expected(int line, int column) const {
    return YuvToPixel(y[size_t(line) * pitch + column], u[size_t(line / 2) * chromaPitch + column / 2],
                      v[size_t(line / 2) * chromaPitch + column / 2]);
  }
};

TEST(PreviewPicture, BlackPictureHasTheOverflowedBlueWord) {
  const Picture p = BlackPicture();
  ASSERT_EQ(p.pixels.size(), 360u * 288u);
  EXPECT_EQ(kBlackPixel, 0x101180u);  // blue 0x80, green 0x11, red 0x10
  for (uint32_t w : p.pixels) ASSERT_EQ(w, 0x101180u);
}

TEST(PreviewPicture, ColourFormulaGoldenValues) {
  EXPECT_EQ(YuvToPixel(128, 128, 128), 0x808080u);  // neutral grey
  EXPECT_EQ(YuvToPixel(0, 128, 128), 0x000000u);
  EXPECT_EQ(YuvToPixel(255, 128, 128), 0xFFFFFFu);
  // Y 81, U 90, V 240 (a saturated red): R = (82944 + 160832 + 512) >> 10 = 238,
  // G = (82944 + 13376 - 81872 + 512) >> 10 = 14, B = (82944 - 68970 + 512) >> 10 = 14.
  EXPECT_EQ(YuvToPixel(81, 90, 240), (238u << 16) | (14u << 8) | 14u);
  EXPECT_EQ(YuvToPixel(41, 240, 110), (16u << 16) | (15u << 8) | 240u);
  // Out-of-range components clamp at 255 and at 0.
  EXPECT_EQ(YuvToPixel(250, 250, 250), (255u << 16) | (121u << 8) | 255u);
  EXPECT_EQ(YuvToPixel(10, 10, 10), (0u << 16) | (135u << 8) | 0u);
  EXPECT_EQ(YuvToPixel(200, 60, 200), (255u << 16) | (172u << 8) | 79u);
}

TEST(PreviewPicture, SampleStepFollowsTheDecodedWidth) {
  EXPECT_EQ(SampleStep(720), 2);
  EXPECT_EQ(SampleStep(704), 2);
  EXPECT_EQ(SampleStep(352), 1);
  EXPECT_EQ(SampleStep(360), 1);
  EXPECT_EQ(SampleStep(176), 0);
  EXPECT_EQ(SampleStep(1280), 0);
  EXPECT_EQ(SampleStep(540), 0);
}

TEST(PreviewPicture, WidePictureIsHalvedBothWays) {
  const Planes in(720, 576);
  Picture out;
  ASSERT_TRUE(ConvertPicture(in.view(), out));
  for (auto [i, j] : {std::pair{0, 0}, {1, 1}, {100, 37}, {287, 359}, {143, 200}})
    EXPECT_EQ(out.at(j, i), in.expected(2 * i, 2 * j)) << i << "," << j;
}

TEST(PreviewPicture, NarrowPictureIsShownOneToOneAndItsLastColumnRepeats) {
  const Planes in(352, 288);
  Picture out;
  ASSERT_TRUE(ConvertPicture(in.view(), out));
  EXPECT_EQ(out.at(0, 0), in.expected(0, 0));
  EXPECT_EQ(out.at(351, 287), in.expected(287, 351));
  // Columns 352..359 lie past the picture: they repeat column 351, never the padding.
  for (int j = 352; j < 360; ++j) EXPECT_EQ(out.at(j, 10), in.expected(10, 351));
}

TEST(PreviewPicture, ShortPictureRepeatsItsLastLine) {
  const Planes in(720, 480);  // 240 lines after halving, 288 shown
  Picture out;
  ASSERT_TRUE(ConvertPicture(in.view(), out));
  EXPECT_EQ(out.at(5, 239), in.expected(478, 10));
  EXPECT_EQ(out.at(5, 287), in.expected(479, 10));
}

TEST(PreviewPicture, UnknownWidthLeavesThePictureUntouched) {
  const Planes in(176, 144);
  Picture out = BlackPicture();
  EXPECT_FALSE(ConvertPicture(in.view(), out));
  EXPECT_EQ(out.at(0, 0), kBlackPixel);
}

}  // namespace
