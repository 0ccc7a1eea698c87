#include "cardsim/scenario.h"

#include <cmath>

namespace cardsim {

int VideoBitRate(const Scenario& s) {
  if (s.video_bit_rate > 0) return s.video_bit_rate;
  static constexpr int kFullSize[4] = {2000000, 1200000, 700000, 1200000};
  const double area = double(s.width) * s.height / (720.0 * 576.0);
  return int(kFullSize[s.quality & 3] * area);
}

std::string ValidateScenario(const Scenario& s) {
  constexpr uint64_t kBlockBytes = 256 * 512;
  if (s.partition_file_bytes.empty()) return "the region needs at least one partition file";
  if (s.gps.move_s < 0 || s.gps.stop_s < 0 || s.gps.lost_s < 0 ||
      std::fabs(s.gps.utc_offset_h) > 14)
    return "gps move_s, stop_s and lost_s must not be negative, utc_offset_h within 14 hours";
  if (s.partition_file_bytes.size() > 128) return "at most 128 partition files";
  uint64_t region = 0;
  for (uint64_t b : s.partition_file_bytes) {
    if (b == 0 || b % kBlockBytes != 0)
      return "partition file sizes must be positive multiples of 131072 bytes";
    region += b;
  }
  for (size_t i = 1; i + 1 < s.partition_file_bytes.size(); ++i)
    if (s.partition_file_bytes[i] != s.partition_file_bytes[0])
      return "every partition file but the last must have the first file's size";
  if (s.partition_file_bytes.size() > 1 &&
      s.partition_file_bytes.back() > s.partition_file_bytes.front())
    return "the last partition file may not be larger than the others";
  if (region / 512 > 0xFFFFFF00ULL) return "the region is too large for 32-bit sector numbers";
  const uint64_t blocks = region / kBlockBytes;
  if (blocks < 2) return "the region needs at least two blocks";
  if (s.ring_start_block >= blocks) return "ring_start_block lies outside the region";
  if (s.ring_end_block && *s.ring_end_block >= blocks) return "ring_end_block lies outside the region";
  if (!((s.width == 720 && s.height == 576) || (s.width == 352 && s.height == 288)))
    return "picture size must be 720x576 or 352x288";
  if (s.fps != 25) return "the recorder records 25 pictures per second";
  if (s.gop < 1 || s.gop > 250) return "gop must be 1..250";
  if (s.sample_rate != 48000 && s.sample_rate != 44100 && s.sample_rate != 32000)
    return "sample rate must be 32000, 44100 or 48000 (an audio frame must be shorter than a "
           "picture period)";
  if (s.channels != 1 && s.channels != 2) return "channels must be 1 or 2";
  if (s.devices.empty()) return "at least one device is needed";
  for (size_t i = 0; i < s.recordings.size(); ++i) {
    const RecordingSpec& r = s.recordings[i];
    const std::string what = "recording " + std::to_string(i) + ": ";
    if (r.device < 0 || size_t(r.device) >= s.devices.size()) return what + "unknown device";
    if (r.duration_s < 0 || r.duration_s > 86400.0 * 7) return what + "duration out of range";
    if (r.duration_s == 0 && r.blocks == 0) return what + "needs duration_s or blocks";
    if (r.pause_s < 0) return what + "pause_s must not be negative";
  }
  for (const Damage& d : s.damage) {
    const bool file_damage =
        d.kind == DamageKind::missing_file || d.kind == DamageKind::truncate_file;
    if (file_damage && (d.file < 0 || size_t(d.file) >= s.partition_file_bytes.size()))
      return "damage names a partition file that does not exist";
    if (d.kind == DamageKind::truncate_file && d.bytes >= s.partition_file_bytes[size_t(d.file)])
      return "truncate_file must make the file shorter";
    if (!file_damage && (d.recording < 0 || size_t(d.recording) >= s.recordings.size()))
      return "damage names a recording that does not exist";
  }
  return {};
}

}  // namespace cardsim
