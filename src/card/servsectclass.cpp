#include "card/servsectclass.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace card {

uint8_t FromBcd(uint8_t bcd) { return uint8_t((bcd >> 4) * 10 + (bcd & 0x0F)); }
uint8_t ToBcd(uint8_t n) { return uint8_t((n / 10) * 16 + n % 10); }

bool ServiceSector::has_magic() const {
  return std::memcmp(bytes_.data(), kServiceMagic, sizeof kServiceMagic) == 0;
}

void ServiceSector::set_magic() { std::memcpy(bytes_.data(), kServiceMagic, sizeof kServiceMagic); }

TimerEntry ServiceSector::timer(int i) const {
  const uint8_t* p = &bytes_[kTimersOffset + 8 * size_t(i)];
  return TimerEntry{p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7]};
}

void ServiceSector::set_timer(int i, const TimerEntry& t) {
  uint8_t* p = &bytes_[kTimersOffset + 8 * size_t(i)];
  const uint8_t v[8] = {t.mode, t.minute, t.hour, t.day, t.month, t.year, t.dur_minutes,
                        t.dur_hours};
  std::memcpy(p, v, 8);
}

bool ServiceSector::any_timer_set() const {
  for (int i = 0; i < 3; ++i)
    if (bytes_[kTimersOffset + 8 * size_t(i)] != 0) return true;
  return false;
}

std::string ServiceSector::gps_rmc() const {
  const char* p = reinterpret_cast<const char*>(&bytes_[kGpsRmcOffset]);
  return std::string(p, strnlen(p, kGpsRmcSize));
}

void ServiceSector::set_gps_rmc(const std::string& text) {
  std::memset(&bytes_[kGpsRmcOffset], 0, kGpsRmcSize);
  std::memcpy(&bytes_[kGpsRmcOffset], text.data(), std::min(text.size(), kGpsRmcSize));
}

void InitServiceSector(ServiceSector& s, const RegionGeometry& g) {
  uint8_t* p = s.data();
  std::memset(p, 0, base::kSectorSize);
  s.set_magic();
  s.set_format_version(kMaxFormatVersion);
  s.set_serv_label_number(0xFFFFFFFF);
  s.set_mo(1);
  s.set_md(1);
  s.set_osd_flags(1);
  s.set_vbitrate(0xAAAAAAAA);
  s.set_resolution_w(0xAAAA);
  s.set_resolution_h(0xAAAA);
  s.set_video_flags(0xCCCA);
  base::store_le16(p + 0x03A, 0xCCCC);
  p[0x03D] = 0x77;
  base::store_le16(p + 0x03E, 0xDDDD);
  base::store_le32(p + 0x040, 0xAAAAAAAA);
  base::store_le32(p + 0x044, 0xDDDDDDDD);
  s.set_audio_param_a(0xAAAAAAAA);
  s.set_audio_param_b(2);
  s.set_audio_param_c(16);
  p[0x052] = 0x77;
  p[0x053] = 0x77;
  s.set_rec_mode_flags(1);
  s.set_N_sectors_in_rsr(g.N_sectors_in_rsr);
  s.set_N_sectors_in_standard_rsf(g.N_sectors_in_standard_rsf);
  s.set_N_sectors_in_the_last_rsf(g.N_sectors_in_the_last_rsf);
  s.set_N_rsf(g.N_rsf);
  s.set_rec_bgn_sectnum(kUnsetPointer);
  s.set_rec_end_sectnum(kUnsetPointer);
  s.set_poweron_uid0(0xFFFFFFFF);
  s.set_imei_sn(0xFFFFFFFF);
  base::store_le32(p + 0x140, 0xFFFFFFFF);
  base::store_le32(p + 0x144, 0xFFFFFFFF);
  base::store_le32(p + 0x148, 0xF7EE5FAC);
  base::store_le32(p + 0x14C, 0xE3E3E3E3);
  base::store_le32(p + 0x150, 0xFFFFFFFF);
  base::store_le32(p + 0x154, 0xFFFFFFFF);
  s.set_rsr_sectnum(0xFFFFFFFF);
  base::store_le32(p + 0x15C, 0xFFFFFFFF);
  base::store_le32(p + 0x174, 0xACACACAC);
  base::store_le32(p + 0x178, 0xADADADAD);
  base::store_le32(p + 0x17C, 0xBABABABA);
  for (int i = 0; i < 4; ++i) s.set_timer(i, TimerEntry{});
}

InfoSectorClass IsInformationSector(const ServiceSector& s) {
  InfoSectorClass c;
  c.hasMagic = s.has_magic();
  c.acceptable = !(c.hasMagic && s.format_version() > kMaxFormatVersion);
  return c;
}

std::string FormatStamp(const ServiceSector& s) {
  char text[64];
  std::snprintf(text, sizeof text, "%u-%02u-%02u_%02u-%02u-%02u", 2000u + s.ye(), unsigned(s.mo()),
                unsigned(s.md()), unsigned(s.ho()), unsigned(s.mi()), unsigned(s.se()));
  return text;
}

bool SameRecord(const ServiceSector& first, int64_t a, const ServiceSector& other, int64_t b,
                uint32_t n) {
  if (first.imei_sn() != other.imei_sn() || first.poweron_uid0() != other.poweron_uid0() ||
      first.startrec_cycles() != other.startrec_cycles())
    return false;
  int64_t d = b - a;
  if (d < 0) d += n;
  return uint32_t(other.serv_label_number() - first.serv_label_number()) == uint32_t(d);
}

std::string RecstateText(uint8_t recstate) {
  std::string t = "(";
  if (recstate & 1) t += 'b';
  if (recstate & 2) t += 'c';
  if (recstate & 4) t += 'e';
  return t + ")";
}

}  // namespace card
