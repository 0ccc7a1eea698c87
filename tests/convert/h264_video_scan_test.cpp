#include "convert/h264_video_scan.h"

#include <gtest/gtest.h>

#include "convert/mp4_muxer.h"

using convert::IsBSlice;
using convert::VideoScanner;

// Slice headers start with first_mb_in_slice ue(v) = 0 ("1") and slice_type ue(v).
TEST(H264VideoScan, RecognisesBSlicesByTheirSliceType) {
  EXPECT_TRUE(IsBSlice(std::vector<uint8_t>{0x41, 0xA0}));   // slice_type 1 (B)
  EXPECT_TRUE(IsBSlice(std::vector<uint8_t>{0x01, 0x9C}));   // slice_type 6 (B, all slices)
  EXPECT_FALSE(IsBSlice(std::vector<uint8_t>{0x41, 0xC0}));  // slice_type 0 (P)
  EXPECT_FALSE(IsBSlice(std::vector<uint8_t>{0x65, 0x88}));  // IDR, slice_type 7 (I)
  EXPECT_FALSE(IsBSlice(std::vector<uint8_t>{0x06, 0xA0}));  // SEI, not a slice
  EXPECT_FALSE(IsBSlice(std::vector<uint8_t>{0x41}));        // header only
}

TEST(H264VideoScan, StreamWithBSlicesIsRefusedWithItsOwnCode) {
  VideoScanner scanner;
  scanner.Feed(std::vector<uint8_t>{0x65, 0x88, 0x80});
  scanner.Feed(std::vector<uint8_t>{0x41, 0xA0, 0x80});
  EXPECT_EQ(scanner.error(), convert::kMuxBFrames);
  convert::VideoScan scan;
  EXPECT_EQ(scanner.Finish(&scan), convert::kMuxBFrames);
}
