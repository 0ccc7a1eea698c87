#include "cli/service_sector_json.h"

#include <cstdio>

namespace cli {

namespace {

std::string Hex(const uint8_t* p, size_t n) {
  std::string out;
  char two[3];
  for (size_t i = 0; i < n; ++i) {
    std::snprintf(two, sizeof two, "%02x", p[i]);
    out += two;
  }
  return out;
}

}  // namespace

nlohmann::ordered_json ServiceSectorJson(const card::ServiceSector& s) {
  nlohmann::ordered_json j;
  j["magic"] = Hex(s.data(), 8);
  j["format_version"] = s.format_version();
  j["serv_label_number"] = s.serv_label_number();
  j["recstate"] = s.recstate();
  j["firmware_version"] = s.firmware_version();
  j["ye"] = s.ye();
  j["mo"] = s.mo();
  j["md"] = s.md();
  j["ho"] = s.ho();
  j["mi"] = s.mi();
  j["se"] = s.se();
  j["osd_flags"] = s.osd_flags();
  j["f_cclk_copy"] = s.f_cclk_copy();
  j["cycles"] = s.cycles();
  j["dev_uid"] = s.dev_uid();
  j["battery_adc"] = s.battery_adc();
  j["vbitrate"] = s.vbitrate();
  j["resolution_w"] = s.resolution_w();
  j["resolution_h"] = s.resolution_h();
  j["video_flags"] = s.video_flags();
  j["av_quality_level"] = s.av_quality_level();
  j["audio_param_a"] = s.audio_param_a();
  j["audio_param_b"] = s.audio_param_b();
  j["audio_param_c"] = s.audio_param_c();
  j["audio_input_conf"] = s.audio_input_conf();
  j["audio_vox_level"] = s.audio_vox_level();
  j["rec_mode_flags"] = s.rec_mode_flags();
  j["N_sectors_in_rsr"] = s.N_sectors_in_rsr();
  j["N_sectors_in_standard_rsf"] = s.N_sectors_in_standard_rsf();
  j["N_sectors_in_the_last_rsf"] = s.N_sectors_in_the_last_rsf();
  j["N_rsf"] = s.N_rsf();
  j["rec_bgn_sectnum"] = s.rec_bgn_sectnum();
  j["rec_end_sectnum"] = s.rec_end_sectnum();
  const auto config = s.stream_config();
  j["stream_config"] = Hex(config.data(), config.size());
  j["startrec_cycles"] = s.startrec_cycles();
  j["poweron_uid0"] = s.poweron_uid0();
  j["imei_sn"] = s.imei_sn();
  j["rsr_sectnum"] = s.rsr_sectnum();
  nlohmann::ordered_json timers = nlohmann::ordered_json::array();
  for (int i = 0; i < 4; ++i) {
    const card::TimerEntry t = s.timer(i);
    timers.push_back({{"mode", card::FromBcd(t.mode)},
                      {"minute", card::FromBcd(t.minute)},
                      {"hour", card::FromBcd(t.hour)},
                      {"day", card::FromBcd(t.day)},
                      {"month", card::FromBcd(t.month)},
                      {"year", card::FromBcd(t.year)},
                      {"durMinutes", card::FromBcd(t.dur_minutes)},
                      {"durHours", card::FromBcd(t.dur_hours)}});
  }
  j["timers"] = timers;
  j["gps_rmc"] = s.gps_rmc();
  return j;
}

}  // namespace cli
