#include "convert/h264_sps.h"

#include <algorithm>
#include <numeric>

#include "convert/h264_bit_reader.h"

namespace convert {
namespace {

constexpr int kNalTypeSps = 7;
constexpr int kNalTypePps = 8;
constexpr uint64_t kMaxPictureDimension = 1 << 16;

bool HasChromaFormatFields(uint8_t profile) {
  switch (profile) {
    case 100: case 110: case 122: case 244: case 44: case 83: case 86:
    case 118: case 128: case 138: case 139: case 134: case 135:
      return true;
    default:
      return false;
  }
}

void SkipScalingList(H264BitReader& bits, int size) {
  int64_t last = 8;
  int64_t next = 8;
  for (int i = 0; i < size && !bits.failed(); ++i) {
    if (next != 0) next = ((last + bits.Se()) % 256 + 256) % 256;
    last = next == 0 ? last : next;
  }
}

void ParseTiming(H264BitReader& bits, H264Sps& sps) {
  if (bits.Flag()) {                           // aspect_ratio_info_present_flag
    if (bits.Bits(8) == 255) bits.Skip(32);    // Extended_SAR: sar_width, sar_height
  }
  if (bits.Flag()) bits.Skip(1);               // overscan_info_present / appropriate
  if (bits.Flag()) {                           // video_signal_type_present_flag
    bits.Skip(4);                              // video_format, video_full_range_flag
    if (bits.Flag()) bits.Skip(24);            // colour primaries, transfer, matrix
  }
  if (bits.Flag()) {                           // chroma_loc_info_present_flag
    bits.Ue();
    bits.Ue();
  }
  if (bits.Flag()) {                           // timing_info_present_flag
    const uint32_t units = bits.Bits(32);
    const uint32_t scale = bits.Bits(32);
    if (!bits.failed()) {
      sps.timing_info_present = true;
      sps.num_units_in_tick = units;
      sps.time_scale = scale;
    }
  }
}

}  // namespace

std::optional<H264Sps> ParseSps(std::span<const uint8_t> nal) {
  if (nal.size() < 4 || (nal[0] & 0x1F) != kNalTypeSps) return std::nullopt;
  const std::vector<uint8_t> rbsp = UnescapeRbsp(nal.subspan(1));
  H264BitReader bits(rbsp);
  H264Sps sps;
  sps.profile_idc = uint8_t(bits.Bits(8));
  sps.constraint_flags = uint8_t(bits.Bits(8));
  sps.level_idc = uint8_t(bits.Bits(8));
  sps.sps_id = bits.Ue();
  bool separate_colour_planes = false;
  if (HasChromaFormatFields(sps.profile_idc)) {
    sps.chroma_format_idc = bits.Ue();
    if (sps.chroma_format_idc == 3) separate_colour_planes = bits.Flag();
    sps.bit_depth_luma = bits.Ue() + 8;
    sps.bit_depth_chroma = bits.Ue() + 8;
    bits.Skip(1);  // qpprime_y_zero_transform_bypass_flag
    if (bits.Flag()) {  // seq_scaling_matrix_present_flag
      const int lists = sps.chroma_format_idc == 3 ? 12 : 8;
      for (int i = 0; i < lists && !bits.failed(); ++i) {
        if (bits.Flag()) SkipScalingList(bits, i < 6 ? 16 : 64);
      }
    }
  }
  if (sps.sps_id > 31 || sps.chroma_format_idc > 3 || sps.bit_depth_luma > 14 ||
      sps.bit_depth_chroma > 14) {
    return std::nullopt;
  }
  bits.Ue();  // log2_max_frame_num_minus4
  const uint32_t poc_type = bits.Ue();
  if (poc_type == 0) {
    bits.Ue();  // log2_max_pic_order_cnt_lsb_minus4
  } else if (poc_type == 1) {
    bits.Skip(1);  // delta_pic_order_always_zero_flag
    bits.Se();     // offset_for_non_ref_pic
    bits.Se();     // offset_for_top_to_bottom_field
    const uint32_t cycle = bits.Ue();
    if (cycle > 255) return std::nullopt;
    for (uint32_t i = 0; i < cycle && !bits.failed(); ++i) bits.Se();
  } else if (poc_type != 2) {
    return std::nullopt;
  }
  bits.Ue();     // max_num_ref_frames
  bits.Skip(1);  // gaps_in_frame_num_value_allowed_flag
  const uint64_t width_mbs = uint64_t(bits.Ue()) + 1;
  const uint64_t height_units = uint64_t(bits.Ue()) + 1;
  sps.frame_mbs_only = bits.Flag();
  if (!sps.frame_mbs_only) bits.Skip(1);  // mb_adaptive_frame_field_flag
  bits.Skip(1);                           // direct_8x8_inference_flag
  uint64_t crop[4] = {0, 0, 0, 0};        // left, right, top, bottom
  if (bits.Flag()) {
    for (uint64_t& c : crop) c = bits.Ue();
  }
  if (bits.Flag()) ParseTiming(bits, sps);  // vui_parameters_present_flag
  if (bits.failed()) return std::nullopt;

  // Crop units depend on the chroma subsampling and on field coding.
  const bool has_chroma = sps.chroma_format_idc != 0 && !separate_colour_planes;
  const uint64_t sub_width = has_chroma && sps.chroma_format_idc < 3 ? 2 : 1;
  const uint64_t sub_height = has_chroma && sps.chroma_format_idc == 1 ? 2 : 1;
  const uint64_t field_factor = sps.frame_mbs_only ? 1 : 2;
  const uint64_t full_width = width_mbs * 16;
  const uint64_t full_height = height_units * 16 * field_factor;
  const uint64_t crop_x = (crop[0] + crop[1]) * sub_width;
  const uint64_t crop_y = (crop[2] + crop[3]) * sub_height * field_factor;
  if (full_width > kMaxPictureDimension || full_height > kMaxPictureDimension ||
      crop_x >= full_width || crop_y >= full_height) {
    return std::nullopt;
  }
  sps.width = uint32_t(full_width - crop_x);
  sps.height = uint32_t(full_height - crop_y);
  if (sps.width > 0xFFFF || sps.height > 0xFFFF) return std::nullopt;  // 16-bit in avc1
  return sps;
}

std::optional<uint32_t> ParameterSetId(std::span<const uint8_t> nal) {
  if (nal.empty()) return std::nullopt;
  const int type = nal[0] & 0x1F;
  const size_t skip = type == kNalTypeSps ? 4 : type == kNalTypePps ? 1 : 0;
  if (skip == 0 || nal.size() <= skip) return std::nullopt;
  // The id sits within the first bytes; 16 escaped bytes always cover it.
  const std::vector<uint8_t> rbsp = UnescapeRbsp(nal.subspan(1, std::min<size_t>(nal.size() - 1, 16)));
  if (rbsp.size() < skip) return std::nullopt;
  H264BitReader bits(std::span<const uint8_t>(rbsp).subspan(skip - 1));
  const uint32_t id = bits.Ue();
  if (bits.failed()) return std::nullopt;
  return id;
}

VideoTiming TimingFromSps(const H264Sps& sps) {
  VideoTiming timing;
  if (!sps.timing_info_present || sps.num_units_in_tick == 0 || sps.time_scale == 0) {
    return timing;
  }
  uint64_t scale = sps.time_scale;
  uint64_t delta = uint64_t(sps.num_units_in_tick) * 2;
  if (scale < delta || scale > delta * 300) return timing;
  const uint64_t common = std::gcd(scale, delta);
  scale /= common;
  delta /= common;
  timing.timescale = uint32_t(scale);
  timing.delta = uint32_t(delta);
  return timing;
}

}  // namespace convert
