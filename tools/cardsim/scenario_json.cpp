#include "cardsim/scenario_json.h"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <set>

namespace cardsim {
namespace {

using nlohmann::json;

// Rejects keys outside `allowed` so that misspelt options are reported.
void CheckKeys(const json& j, const std::set<std::string>& allowed, const std::string& where) {
  if (!j.is_object()) throw std::runtime_error(where + " must be an object");
  for (const auto& [key, value] : j.items())
    if (!allowed.count(key)) throw std::runtime_error("unknown key \"" + key + "\" in " + where);
}

template <typename T>
void Get(const json& j, const char* key, T& out) {
  if (j.contains(key)) out = j.at(key).get<T>();
}

DamageKind ParseDamageKind(const std::string& s) {
  static const std::pair<const char*, DamageKind> kKinds[] = {
      {"format_version", DamageKind::format_version}, {"label_break", DamageKind::label_break},
      {"identity_change", DamageKind::identity_change}, {"zero_info", DamageKind::zero_info},
      {"missing_file", DamageKind::missing_file},       {"truncate_file", DamageKind::truncate_file}};
  for (const auto& [name, kind] : kKinds)
    if (s == name) return kind;
  throw std::runtime_error("unknown damage kind \"" + s + "\"");
}

void ParseRecording(const json& j, RecordingSpec& r) {
  CheckKeys(j, {"device", "power_on", "start", "pause_s", "duration_s", "blocks", "gap_blocks",
                "lost_blocks", "finished"},
            "a recording");
  Get(j, "device", r.device);
  Get(j, "power_on", r.power_on);
  if (j.contains("start")) {
    r.start = ParseCivilTime(j.at("start").get<std::string>());
    if (!r.start) throw std::runtime_error("start must look like 2014-03-05 14:07:09");
  }
  Get(j, "pause_s", r.pause_s);
  Get(j, "duration_s", r.duration_s);
  Get(j, "blocks", r.blocks);
  Get(j, "gap_blocks", r.gap_blocks);
  Get(j, "lost_blocks", r.lost_blocks);
  Get(j, "finished", r.finished);
}

void ParseTop(const json& j, Scenario& s) {
  CheckKeys(j, {"seed", "partition_file_bytes", "partition_files", "file_mib", "last_file_mib",
                "rsr_sectnum", "ring_start_block", "ring_end_block", "pointers", "info_only",
                "width", "height", "gop", "sample_rate", "channels", "quality", "video_flags",
                "clock_hz", "rec_mode_flags", "osd_flags", "audio_input_conf", "audio_vox_level",
                "battery_start_v", "battery_drain_v_per_hour", "gps", "devices", "recordings",
                "damage"},
            "the scenario");
  Get(j, "seed", s.seed);
  if (j.contains("partition_file_bytes")) {
    s.partition_file_bytes = j.at("partition_file_bytes").get<std::vector<uint64_t>>();
  } else if (j.contains("partition_files") || j.contains("file_mib")) {
    int files = 1;
    uint64_t mib = 8;
    Get(j, "partition_files", files);
    Get(j, "file_mib", mib);
    uint64_t last = mib;
    Get(j, "last_file_mib", last);
    if (files < 1 || files > 128) throw std::runtime_error("partition_files must be 1..128");
    s.partition_file_bytes.assign(size_t(files), mib << 20);
    s.partition_file_bytes.back() = last << 20;
  }
  Get(j, "rsr_sectnum", s.rsr_sectnum);
  Get(j, "ring_start_block", s.ring_start_block);
  if (j.contains("ring_end_block")) s.ring_end_block = j.at("ring_end_block").get<uint32_t>();
  if (j.contains("pointers")) {
    const std::string p = j.at("pointers").get<std::string>();
    if (p == "recorded") s.pointers = RingPointers::recorded;
    else if (p == "unset") s.pointers = RingPointers::unset;
    else if (p == "empty") s.pointers = RingPointers::empty;
    else throw std::runtime_error("pointers must be recorded, unset or empty");
  }
  Get(j, "info_only", s.info_only);
  Get(j, "width", s.width);
  Get(j, "height", s.height);
  Get(j, "gop", s.gop);
  Get(j, "sample_rate", s.sample_rate);
  Get(j, "channels", s.channels);
  Get(j, "quality", s.quality);
  Get(j, "video_flags", s.video_flags);
  Get(j, "clock_hz", s.clock_hz);
  Get(j, "rec_mode_flags", s.rec_mode_flags);
  Get(j, "osd_flags", s.osd_flags);
  Get(j, "audio_input_conf", s.audio_input_conf);
  Get(j, "audio_vox_level", s.audio_vox_level);
  Get(j, "battery_start_v", s.battery_start_v);
  Get(j, "battery_drain_v_per_hour", s.battery_drain_v_per_hour);
  if (j.contains("gps")) {
    const json& g = j.at("gps");
    CheckKeys(g, {"latitude", "longitude", "speed_knots", "course_deg", "fix", "utc_offset_h",
                  "move_s", "stop_s", "lost_s"},
              "gps");
    Get(g, "latitude", s.gps.latitude);
    Get(g, "longitude", s.gps.longitude);
    Get(g, "speed_knots", s.gps.speed_knots);
    Get(g, "course_deg", s.gps.course_deg);
    Get(g, "fix", s.gps.fix);
    Get(g, "utc_offset_h", s.gps.utc_offset_h);
    Get(g, "move_s", s.gps.move_s);
    Get(g, "stop_s", s.gps.stop_s);
    Get(g, "lost_s", s.gps.lost_s);
  }
  if (j.contains("devices")) {
    s.devices.clear();
    for (const json& d : j.at("devices")) {
      CheckKeys(d, {"imei_sn", "dev_uid", "firmware_version", "first_label"}, "a device");
      DeviceSpec dev;
      Get(d, "imei_sn", dev.imei_sn);
      Get(d, "dev_uid", dev.dev_uid);
      Get(d, "firmware_version", dev.firmware_version);
      Get(d, "first_label", dev.first_label);
      s.devices.push_back(dev);
    }
  }
  if (j.contains("recordings"))
    for (const json& r : j.at("recordings")) ParseRecording(r, s.recordings.emplace_back());
  if (j.contains("damage"))
    for (const json& d : j.at("damage")) {
      CheckKeys(d, {"kind", "recording", "block", "file", "bytes"}, "a damage entry");
      Damage dmg;
      dmg.kind = ParseDamageKind(d.at("kind").get<std::string>());
      Get(d, "recording", dmg.recording);
      Get(d, "block", dmg.block);
      Get(d, "file", dmg.file);
      Get(d, "bytes", dmg.bytes);
      s.damage.push_back(dmg);
    }
}

json RecordingJson(const RecordingResult& r) {
  return json{{"index", r.index},
              {"device", r.device},
              {"imei_sn", r.imei_sn},
              {"poweron_uid0", r.poweron_uid0},
              {"startrec_cycles", r.startrec_cycles},
              {"first_block", r.first_block},
              {"last_block", r.last_block},
              {"blocks", r.blocks},
              {"stamp", r.stamp},
              {"media_seconds", r.media_seconds},
              {"finished", r.finished},
              {"video_frames", r.stats.video_frames},
              {"key_frames", r.stats.key_frames},
              {"audio_frames", r.stats.audio_frames},
              {"h264_bytes", r.stats.h264_bytes},
              {"aac_bytes", r.stats.aac_bytes},
              {"stream_bytes", r.stats.stream_bytes}};
}

}  // namespace

bool ParseScenarioJson(const std::string& text, Scenario& out, std::string& error) {
  try {
    Scenario s;
    ParseTop(json::parse(text), s);
    out = std::move(s);
    return true;
  } catch (const std::exception& e) {
    error = std::string("bad scenario: ") + e.what();
    return false;
  }
}

std::string CardResultJson(const CardResult& r) {
  json recordings = json::array();
  for (const auto& rec : r.recordings) recordings.push_back(RecordingJson(rec));
  const json j{{"ok", r.ok},
               {"error", r.error},
               {"N_rsf", r.geometry.N_rsf},
               {"N_sectors_in_standard_rsf", r.geometry.N_sectors_in_standard_rsf},
               {"N_sectors_in_the_last_rsf", r.geometry.N_sectors_in_the_last_rsf},
               {"N_sectors_in_rsr", r.geometry.N_sectors_in_rsr},
               {"N_s_s", r.N_s_s},
               {"rsr_sectnum", r.rsr_sectnum},
               {"ring_start_block", r.ring_start_block},
               {"ring_end_block", r.ring_end_block},
               {"rec_bgn_sectnum", r.rec_bgn_sectnum},
               {"rec_end_sectnum", r.rec_end_sectnum},
               {"recordings", recordings}};
  return j.dump(2) + "\n";
}

std::string CardResultText(const CardResult& r) {
  std::string out;
  char line[256];
  std::snprintf(line, sizeof line, "region: %u files, %u blocks; ring %u..%u; rsr_sectnum %u\n",
                r.geometry.N_rsf, r.N_s_s, r.ring_start_block, r.ring_end_block, r.rsr_sectnum);
  out += line;
  for (const auto& rec : r.recordings) {
    std::snprintf(line, sizeof line,
                  "#%d %s imei %u blocks %u..%u (%u) video %llu (%llu key) audio %llu "
                  "h264 %llu B aac %llu B%s\n",
                  rec.index, rec.stamp.c_str(), rec.imei_sn, rec.first_block, rec.last_block,
                  rec.blocks, (unsigned long long)rec.stats.video_frames,
                  (unsigned long long)rec.stats.key_frames,
                  (unsigned long long)rec.stats.audio_frames,
                  (unsigned long long)rec.stats.h264_bytes,
                  (unsigned long long)rec.stats.aac_bytes, rec.finished ? "" : " (unfinished)");
    out += line;
  }
  return out;
}

}  // namespace cardsim
