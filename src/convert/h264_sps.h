// H.264 sequence parameter set: the fields the muxer needs (profile, picture size after
// cropping, chroma format and bit depths for avcC, VUI timing) and the picture rate it
// implies for the video media timescale.
//
// ParseSps takes one NAL unit (header byte included, emulation prevention still in place)
// and never reads past its end. Pure functions; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace convert {

struct H264Sps {
  uint8_t profile_idc = 0;
  uint8_t constraint_flags = 0;
  uint8_t level_idc = 0;
  uint32_t sps_id = 0;
  uint32_t chroma_format_idc = 1;
  uint32_t bit_depth_luma = 8;
  uint32_t bit_depth_chroma = 8;
  bool frame_mbs_only = true;
  uint32_t width = 0;   // luma samples, cropping applied
  uint32_t height = 0;
  bool timing_info_present = false;
  uint32_t num_units_in_tick = 0;
  uint32_t time_scale = 0;
};

// Returns nothing when the unit is not an SPS or is cut short or inconsistent.
std::optional<H264Sps> ParseSps(std::span<const uint8_t> nal);

// Reads only the parameter set id: of an SPS (after profile and level) or a PPS (first
// field). Returns nothing when the unit is too short.
std::optional<uint32_t> ParameterSetId(std::span<const uint8_t> nal);

// Timing of the video track: each picture lasts `delta` ticks of `timescale`.
struct VideoTiming {
  uint32_t timescale = 25;
  uint32_t delta = 1;
};

// The picture rate is time_scale / (2 * num_units_in_tick), the usual reading of the VUI
// (one picture per two ticks). A whole rate gives timescale = rate and delta 1; a
// fractional one (30000/1001) keeps the exact fraction. Absent or implausible timing
// (below 1 or above 300 pictures per second) gives 25 per second.
VideoTiming TimingFromSps(const H264Sps& sps);

}  // namespace convert
