// SPS parsing and the video timing derived from it, on parameter sets built bit by bit.
#include "convert/h264_sps.h"

#include <gtest/gtest.h>

#include <vector>

#include "convert/h264_bit_reader.h"

namespace convert {
namespace {

// Writes fixed-width fields and exp-Golomb codes, then the RBSP trailing bits.
class BitWriter {
 public:
  void Bits(uint64_t value, int count) {
    for (int i = count - 1; i >= 0; --i) Bit((value >> i) & 1);
  }
  void Ue(uint32_t value) {
    const uint64_t code = uint64_t(value) + 1;
    int length = 0;
    while ((code >> length) > 1) ++length;
    Bits(0, length);
    Bits(code, length + 1);
  }
  std::vector<uint8_t> Finish() {
    Bit(1);
    while (bit_ != 0) Bit(0);
    return bytes_;
  }

 private:
  void Bit(uint64_t b) {
    if (bit_ == 0) bytes_.push_back(0);
    bytes_.back() |= uint8_t(b << (7 - bit_));
    bit_ = (bit_ + 1) % 8;
  }
  std::vector<uint8_t> bytes_;
  int bit_ = 0;
};

struct SpsFields {
  uint32_t profile = 66;
  uint32_t width_mbs = 22, height_units = 18;
  bool frame_mbs_only = true;
  uint32_t crop_bottom = 0;
  bool vui = false;
  uint32_t units_in_tick = 1, time_scale = 50;
};

std::vector<uint8_t> MakeSps(const SpsFields& f) {
  BitWriter w;
  w.Bits(0x67, 8);  // NAL header: nal_ref_idc 3, type 7
  w.Bits(f.profile, 8);
  w.Bits(0, 8);     // constraint flags
  w.Bits(30, 8);    // level 3.0
  w.Ue(0);          // sps id
  if (f.profile == 100) {
    w.Ue(1);        // chroma_format_idc 4:2:0
    w.Ue(0);        // bit depths 8
    w.Ue(0);
    w.Bits(0, 2);   // transform bypass, no scaling matrix
  }
  w.Ue(0);          // log2_max_frame_num_minus4
  w.Ue(2);          // pic_order_cnt_type 2
  w.Ue(1);          // max_num_ref_frames
  w.Bits(0, 1);     // gaps allowed
  w.Ue(f.width_mbs - 1);
  w.Ue(f.height_units - 1);
  w.Bits(f.frame_mbs_only, 1);
  if (!f.frame_mbs_only) w.Bits(1, 1);  // mb_adaptive_frame_field
  w.Bits(1, 1);                         // direct_8x8_inference
  w.Bits(f.crop_bottom != 0, 1);
  if (f.crop_bottom) {
    w.Ue(0);
    w.Ue(0);
    w.Ue(0);
    w.Ue(f.crop_bottom);
  }
  w.Bits(f.vui, 1);
  if (f.vui) {
    w.Bits(0, 4);  // no aspect ratio, overscan, signal type, chroma location
    w.Bits(1, 1);  // timing info
    w.Bits(f.units_in_tick, 32);
    w.Bits(f.time_scale, 32);
    w.Bits(1, 1);  // fixed frame rate
    w.Bits(0, 5);  // no HRD, no pic_struct, no restrictions ... (rest not read)
  }
  return w.Finish();
}

TEST(H264Sps, ReadsSizeAndMissingTimingGives25) {
  const auto sps = ParseSps(MakeSps({}));
  ASSERT_TRUE(sps);
  EXPECT_EQ(sps->width, 352u);
  EXPECT_EQ(sps->height, 288u);
  EXPECT_FALSE(sps->timing_info_present);
  const VideoTiming timing = TimingFromSps(*sps);
  EXPECT_EQ(timing.timescale, 25u);
  EXPECT_EQ(timing.delta, 1u);
}

TEST(H264Sps, CroppingAndHighProfileFields) {
  SpsFields f;
  f.profile = 100;
  f.width_mbs = 120;
  f.height_units = 68;
  f.crop_bottom = 4;  // 4 crop units of 2 lines: 1088 -> 1080
  const auto sps = ParseSps(MakeSps(f));
  ASSERT_TRUE(sps);
  EXPECT_EQ(sps->width, 1920u);
  EXPECT_EQ(sps->height, 1080u);
  EXPECT_EQ(sps->chroma_format_idc, 1u);
  EXPECT_EQ(sps->bit_depth_luma, 8u);
}

TEST(H264Sps, FieldCodedStreamCountsMapUnitsTwiceAndKeeps25) {
  SpsFields f;
  f.frame_mbs_only = false;
  f.height_units = 18;  // 18 field MB rows: 576 lines
  f.width_mbs = 45;
  f.vui = true;         // 25 frames: time_scale 50, one unit per tick
  const auto sps = ParseSps(MakeSps(f));
  ASSERT_TRUE(sps);
  EXPECT_EQ(sps->height, 576u);
  EXPECT_EQ(sps->width, 720u);
  EXPECT_EQ(TimingFromSps(*sps).timescale, 25u);
}

TEST(H264Sps, TimingReading) {
  H264Sps sps;
  sps.timing_info_present = true;
  const auto timing = [&](uint32_t units, uint32_t scale) {
    sps.num_units_in_tick = units;
    sps.time_scale = scale;
    const VideoTiming t = TimingFromSps(sps);
    return std::make_pair(t.timescale, t.delta);
  };
  EXPECT_EQ(timing(1, 50), std::make_pair(25u, 1u));
  EXPECT_EQ(timing(1001, 60000), std::make_pair(30000u, 1001u));  // 29.97 exactly
  EXPECT_EQ(timing(1, 59), std::make_pair(59u, 2u));              // 29.5
  EXPECT_EQ(timing(0, 50), std::make_pair(25u, 1u));              // broken: default
  EXPECT_EQ(timing(1, 1), std::make_pair(25u, 1u));               // half a picture per second
  EXPECT_EQ(timing(1, 100000), std::make_pair(25u, 1u));          // 50000 per second
}

TEST(H264Sps, TruncatedOrForeignUnitsAreRejected) {
  const auto full = MakeSps({});
  for (size_t size = 0; size + 2 < full.size(); ++size) {
    EXPECT_FALSE(ParseSps(std::span(full).first(size))) << size;
  }
  auto pps = full;
  pps[0] = 0x68;
  EXPECT_FALSE(ParseSps(pps));
  EXPECT_EQ(ParameterSetId(full), 0u);
  EXPECT_EQ(ParameterSetId(std::vector<uint8_t>{0x68, 0x40}), 1u);  // PPS id ue "010"
  EXPECT_FALSE(ParameterSetId(std::vector<uint8_t>{0x67, 0x42}));
}

TEST(H264BitReader, ExpGolombAndBounds) {
  BitWriter w;
  w.Ue(0);
  w.Ue(7);
  w.Ue(1000000);
  w.Ue(4);  // se: -2
  w.Ue(3);  // se: +2
  const auto bytes = w.Finish();
  H264BitReader r(bytes);
  EXPECT_EQ(r.Ue(), 0u);
  EXPECT_EQ(r.Ue(), 7u);
  EXPECT_EQ(r.Ue(), 1000000u);
  EXPECT_EQ(r.Se(), -2);
  EXPECT_EQ(r.Se(), 2);
  EXPECT_FALSE(r.failed());
  r.Bits(16);
  EXPECT_TRUE(r.failed());
  EXPECT_EQ(r.Bits(1), 0u);

  const std::vector<uint8_t> zeros(8, 0);
  H264BitReader z(zeros);
  EXPECT_EQ(z.Ue(), 0u);  // 64 leading zeros: no valid code
  EXPECT_TRUE(z.failed());
}

TEST(H264BitReader, UnescapeRemovesEmulationPrevention) {
  const std::vector<uint8_t> nal = {0x67, 0, 0, 3, 1, 0, 0, 3, 0, 3};
  EXPECT_EQ(UnescapeRbsp(nal), (std::vector<uint8_t>{0x67, 0, 0, 1, 0, 0, 0, 3}));
}

}  // namespace
}  // namespace convert
