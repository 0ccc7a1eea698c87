// The range marked with "[" and "]": slider bounds, the resets when the ends cross, the red
// bar, and the next free output number.
#include <gtest/gtest.h>

#include <fstream>

#include "preview/preview_range.h"
#include "preview/range_name.h"
#include "support/temp_dir.h"

namespace {

using preview::PreviewRange;

TEST(PreviewRange, OneBlockRecordGetsASliderOfOneStep) {
  EXPECT_EQ(PreviewRange::SliderMax(1), 1);
  EXPECT_EQ(PreviewRange::SliderMax(0), 1);
  EXPECT_EQ(PreviewRange::SliderMax(2), 1);
  EXPECT_EQ(PreviewRange::SliderMax(40), 39);
  PreviewRange r;
  r.Reset(1, 7);
  EXPECT_EQ(r.from, 0);
  EXPECT_EQ(r.till, 1);
  EXPECT_EQ(r.convStart, 7 * 256);
  EXPECT_EQ(r.convEnd, 0);
  EXPECT_EQ(r.bar_left(343), 0);
  EXPECT_EQ(r.bar_right(343), 343);
}

TEST(PreviewRange, EndsCrossingResetTheOtherEnd) {
  PreviewRange r;
  r.Reset(11, 4);  // positions 0..10
  r.MarkTill(6, 3000, 4);
  r.MarkFrom(3, 2000, 4);
  EXPECT_EQ(r.convStart, 2000);
  EXPECT_EQ(r.convEnd, 3000);
  // "[" at or after "]": the end goes back to the recording's end.
  r.MarkFrom(6, 3100, 4);
  EXPECT_EQ(r.till, 10);
  EXPECT_EQ(r.convEnd, 0);
  EXPECT_EQ(r.convStart, 3100);
  // "]" at or before "[": the start goes back to the recording's start.
  r.MarkTill(2, 1700, 4);
  EXPECT_EQ(r.from, 0);
  EXPECT_EQ(r.convStart, 4 * 256);
  EXPECT_EQ(r.convEnd, 1700);
}

TEST(PreviewRange, BarIsOnePixelWideWhenBothEndsMeet) {
  PreviewRange r;
  r.Reset(11, 0);
  r.from = r.till = 5;
  EXPECT_EQ(r.bar_left(100), 50);
  EXPECT_EQ(r.bar_right(100), 51);
  r.from = 2;
  r.till = 7;
  EXPECT_EQ(r.bar_left(343), 68);  // 343 * 2 / 10
  EXPECT_EQ(r.bar_right(343), 240);
}

TEST(RangeName, TakesTheFirstFreeThreeDigitNumber) {
  testsupport::TempDir dir;
  const std::string folder = dir.path().string() + "/";
  EXPECT_EQ(preview::FirstFreeRangeName(folder, "2014-03-05_14-07-09"), "2014-03-05_14-07-09_001");
  std::ofstream(folder + "2014-03-05_14-07-09_001.mp4").close();
  std::ofstream(folder + "2014-03-05_14-07-09_002.mp4").close();
  EXPECT_EQ(preview::FirstFreeRangeName(folder, "2014-03-05_14-07-09"), "2014-03-05_14-07-09_003");
}

}  // namespace
