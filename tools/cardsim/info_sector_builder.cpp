#include "cardsim/info_sector_builder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace cardsim {
namespace {

void ApplySettings(const Scenario& s, card::ServiceSector& sec) {
  sec.set_av_quality_level(s.quality);
  sec.set_rec_mode_flags(s.rec_mode_flags);
  sec.set_osd_flags(s.osd_flags);
  sec.set_audio_input_conf(s.audio_input_conf);
  sec.set_audio_vox_level(s.audio_vox_level);
}

}  // namespace

uint32_t BatteryAdc(double volts) {
  return uint32_t(std::clamp(std::lround(volts * 4096.0 / 5.5), 0L, 4095L));
}

card::ServiceSector BuildInfoSector(const Scenario& s, const DeviceSpec& device,
                                    const card::RegionGeometry& g, uint32_t rsr_sectnum,
                                    const std::array<uint8_t, kConfigPairSize>& config,
                                    const BlockStamp& stamp) {
  card::ServiceSector sec;
  card::InitServiceSector(sec, g);
  ApplySettings(s, sec);
  sec.set_serv_label_number(stamp.label);
  sec.set_recstate(stamp.recstate);
  sec.set_firmware_version(device.firmware_version);
  sec.set_ye(uint8_t(stamp.date.year - 2000));
  sec.set_mo(uint8_t(stamp.date.month));
  sec.set_md(uint8_t(stamp.date.day));
  sec.set_ho(uint8_t(stamp.date.hour));
  sec.set_mi(uint8_t(stamp.date.minute));
  sec.set_se(uint8_t(stamp.date.second));
  sec.set_f_cclk_copy(s.clock_hz);
  sec.set_cycles(stamp.cycles);
  sec.set_dev_uid(device.dev_uid);
  sec.set_battery_adc(BatteryAdc(stamp.battery_v));
  sec.set_vbitrate(uint32_t(VideoBitRate(s)));
  sec.set_resolution_w(uint16_t(s.width));
  sec.set_resolution_h(uint16_t(s.height));
  sec.set_video_flags(s.video_flags);
  sec.set_audio_param_a(uint32_t(s.sample_rate));
  sec.set_audio_param_b(uint16_t(s.channels));
  sec.set_audio_param_c(16);
  sec.set_rec_bgn_sectnum(stamp.rec_bgn_sectnum);
  sec.set_rec_end_sectnum(stamp.rec_end_sectnum);
  std::memcpy(sec.stream_config().data(), config.data(), kConfigPairSize);
  sec.set_startrec_cycles(stamp.startrec_cycles);
  sec.set_poweron_uid0(stamp.poweron_uid0);
  sec.set_imei_sn(device.imei_sn);
  sec.set_rsr_sectnum(rsr_sectnum);
  sec.set_gps_rmc(stamp.gps_rmc);
  return sec;
}

card::ServiceSector BuildCardServiceSector(const Scenario& s, const card::RegionGeometry& g,
                                           uint32_t rsr_sectnum, uint32_t rec_bgn_sectnum,
                                           uint32_t rec_end_sectnum) {
  card::ServiceSector sec;
  card::InitServiceSector(sec, g);
  ApplySettings(s, sec);
  sec.set_rsr_sectnum(rsr_sectnum);
  sec.set_rec_bgn_sectnum(rec_bgn_sectnum);
  sec.set_rec_end_sectnum(rec_end_sectnum);
  return sec;
}

}  // namespace cardsim
