// What a simulated card holds: the region, the recorder's settings and devices, the
// recordings in ring order and any damage to apply. Plain data, filled by code or from JSON
// (scenario_json.h); `ValidateScenario` checks it before anything is written. Any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cardsim/civil_time.h"
#include "cardsim/gps_track.h"

namespace cardsim {

struct DeviceSpec {
  uint32_t imei_sn = 12345;
  uint32_t dev_uid = 0x00C0FFEE;
  uint16_t firmware_version = 0x0203;
  uint32_t first_label = 1000;  // serv_label_number of the device's first block on this card
};

struct RecordingSpec {
  int device = 0;
  int power_on = 0;  // power-on period of the device; recordings of one period share poweron_uid0
  std::optional<CivilTime> start;  // default: the previous recording's end + pause_s
  double pause_s = 60;
  double duration_s = 0;   // recorded length; 0: fill exactly `blocks` blocks
  uint32_t blocks = 0;     // used when duration_s is 0
  uint32_t gap_blocks = 0; // empty blocks (no information sector) before the recording
  uint32_t lost_blocks = 0;  // leading blocks already overwritten: the first block kept lacks b
  bool finished = true;    // false: cut by power loss (no end box, no e bit on the last block)
};

enum class DamageKind {
  format_version,   // the block's information sector says format_version 204
  label_break,      // labels jump from this block on
  identity_change,  // startrec_cycles changes from this block on
  zero_info,        // the block's information sector is all zeros
  missing_file,     // partition file `file` is deleted after writing
  truncate_file,    // partition file `file` is cut to `bytes`
};

struct Damage {
  DamageKind kind = DamageKind::zero_info;
  int recording = 0;   // block damage: recording index and block within it (0 = first)
  uint32_t block = 0;
  int file = 0;        // file damage: partition file number
  uint64_t bytes = 0;  // truncate_file: new size
};

enum class RingPointers { recorded, unset, empty };

struct Scenario {
  uint32_t seed = 1;
  std::vector<uint64_t> partition_file_bytes = {8u << 20};  // multiples of 128 KiB
  uint32_t rsr_sectnum = 16448;  // folder images: where hcpt0000.hcf would start on the card
  uint32_t ring_start_block = 0; // the block before the first recording
  RingPointers pointers = RingPointers::recorded;
  std::optional<uint32_t> ring_end_block;  // default: the last block of the last recording
  bool info_only = false;  // information sectors only; data sectors stay unwritten (sparse)

  int width = 720, height = 576, fps = 25, gop = 25;
  int sample_rate = 48000, channels = 1;
  uint8_t quality = 0;          // av_quality_level; also picks the bit rate
  int video_bit_rate = 0;       // bits per second; 0: the quality level's rate
  bool high_profile = false;    // CABAC and 8x8 transforms (High profile) instead of Baseline
  uint16_t video_flags = 0x0002;  // progscale on, fldcoding off
  uint32_t clock_hz = 0;        // f_cclk_copy; 0 means 196608000 Hz
  uint32_t rec_mode_flags = 1;  // ring recording
  uint8_t osd_flags = 1, audio_input_conf = 0, audio_vox_level = 0;
  double battery_start_v = 4.10;
  double battery_drain_v_per_hour = 0.35;
  GpsTrack gps;

  std::vector<DeviceSpec> devices = {DeviceSpec{}};
  std::vector<RecordingSpec> recordings;
  std::vector<Damage> damage;
};

// Empty when the scenario can be written, else what is wrong with it.
std::string ValidateScenario(const Scenario& s);

// Video bit rate the recorder uses for a quality level and picture size.
int VideoBitRate(const Scenario& s);

}  // namespace cardsim
