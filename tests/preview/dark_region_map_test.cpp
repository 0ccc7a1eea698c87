// The dark-region map on synthetic luma planes: exact levels of a uniform picture, a dark disc
// outlined and marked once, a region touching the border left alone, no picture.
#include <gtest/gtest.h>

#include <vector>

#include "preview/dark_region_map.h"

namespace {

using namespace preview;

constexpr int W = 360, H = 288;

struct Plane {
  int width, height;
  std::vector<uint8_t> y;
  Plane(int w, int h, uint8_t v) : width(w), height(h), y(size_t(w) * h, v) {}
  void set(int line, int column, uint8_t v) { y[size_t(line) * width + column] = v; }
  LumaView view() const { return {y.data(), width, width, height}; }
};

int At(const std::vector<int>& m, int line, int column) { return m[size_t(line) * W + column]; }

// Candidates marked with an X: the point and its eight diagonal neighbours at 1 and 2 are 2.
std::vector<std::pair<int, int>> Crosses(const std::vector<int>& m) {
  std::vector<std::pair<int, int>> found;
  for (int r = 10; r < H - 10; r += 4)
    for (int s = 10; s < W - 10; s += 4) {
      bool x = At(m, r, s) == 2;
      for (int k : {1, 2})
        for (int dl : {-k, k})
          for (int dc : {-k, k}) x = x && At(m, r + dl, s + dc) == 2;
      if (x) found.emplace_back(r, s);
    }
  return found;
}

TEST(DarkRegionMap, UniformPictureGivesTheExactRowLevels) {
  const Plane plane(W, H, 120);
  const Picture map = DarkRegionMap(plane.view());
  const auto grey = [](uint32_t v) { return v | v << 8 | v << 16; };
  for (int line = 0; line < H; ++line) {
    uint32_t expected = grey(160);
    if (line < 3 || line >= H - 3) expected = grey(24);
    else if (line < 6 || line >= H - 6) expected = grey(92);
    for (int column = 0; column < W; column += 7)
      ASSERT_EQ(map.at(column, line), expected) << line << "," << column;
  }
}

TEST(DarkRegionMap, DarkDiscIsOutlinedAndMarkedOnce) {
  Plane plane(W, H, 200);
  const int cr = 144, cc = 180, radius = 40;
  for (int r = 0; r < H; ++r)
    for (int c = 0; c < W; ++c)
      if ((r - cr) * (r - cr) + (c - cc) * (c - cc) <= radius * radius) plane.set(r, c, 20);
  const std::vector<int> m = DarkRegionLevels(plane.view());

  const auto crosses = Crosses(m);
  ASSERT_EQ(crosses.size(), 1u);  // later candidates meet the outline and are not reported
  const auto [r, s] = crosses[0];
  EXPECT_LT((r - cr) * (r - cr) + (s - cc) * (s - cc), radius * radius);
  EXPECT_LT(r, cr - radius / 2);  // the first candidate in scan order: near the disc's top
  // The outline is marked on the disc's edge on all four sides, not far outside it.
  const auto markedNear = [&](int line, int column, int dl, int dc) {
    for (int k = -6; k <= 6; ++k)
      if (At(m, line + k * dl, column + k * dc) == 2) return true;
    return false;
  };
  EXPECT_TRUE(markedNear(cr - radius, cc, 1, 0));
  EXPECT_TRUE(markedNear(cr + radius, cc, 1, 0));
  EXPECT_TRUE(markedNear(cr, cc - radius, 0, 1));
  EXPECT_TRUE(markedNear(cr, cc + radius, 0, 1));
  // Far from the disc the background stays bright.
  EXPECT_EQ(At(m, 30, 30), 1);
  EXPECT_EQ(At(m, cr, cc + radius + 20), 1);
  // The picture shows the marks at 228.
  const Picture map = DarkRegionMap(plane.view());
  EXPECT_EQ(map.at(s, r), 228u | 228u << 8 | 228u << 16);
}

TEST(DarkRegionMap, RegionTouchingTheBorderIsNotEnclosed) {
  Plane plane(W, H, 200);
  for (int r = 0; r < 70; ++r)
    for (int c = 100; c < 200; ++c) plane.set(r, c, 20);
  EXPECT_TRUE(Crosses(DarkRegionLevels(plane.view())).empty());
}

TEST(DarkRegionMap, WidePictureIsSampledEverySecondPoint) {
  // A 720 x 576 plane whose odd lines and columns are dark: the grid sees only even ones.
  Plane plane(720, 576, 200);
  for (int r = 0; r < 576; ++r)
    for (int c = 0; c < 720; ++c)
      if (r % 2 || c % 2) plane.set(r, c, 10);
  const std::vector<int> m = DarkRegionLevels(plane.view());
  EXPECT_EQ(At(m, 100, 100), 1);
}

TEST(DarkRegionMap, NoPictureGivesTheBlackPicture) {
  const Picture map = DarkRegionMap(LumaView{});
  EXPECT_EQ(map.at(10, 10), kBlackPixel);
}

TEST(DarkRegionMap, SmallPictureIsReadWithinItsPlane) {
  const Plane plane(176, 144, 90);  // grid points past it repeat its edge
  const std::vector<int> m = DarkRegionLevels(plane.view());
  EXPECT_EQ(At(m, 200, 300), 1);
}

}  // namespace
