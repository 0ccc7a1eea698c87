// The 512-byte service sector shared with the recorder.
//
// One layout in two roles: the card service sector (first sector of hc00info.hcf: settings,
// region geometry, ring pointers) and the information sector the recorder writes as the last
// sector of every 256-sector block. All fields are little-endian; each has one named accessor
// with the field's width. A plain value type: copy it freely, use it from any thread.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "base/endian.h"
#include "base/sector.h"
#include "card/region_geometry.h"

namespace card {

inline constexpr uint8_t kServiceMagic[8] = {0xC1, 0x4F, 0xEB, 0x41, 0x10, 0xCE, 0x81, 0x0F};
inline constexpr uint32_t kMaxFormatVersion = 203;
inline constexpr uint32_t kDefaultClockHz = 196608000;  // used when f_cclk_copy is 0
inline constexpr uint32_t kUnsetPointer = 0xFFFFFFFF;

// One recording timer, every byte binary-coded decimal except none: all eight are BCD.
struct TimerEntry {
  uint8_t mode = 0;  // 0 off, 1 once, 2 every day, 3 every week
  uint8_t minute = 0, hour = 0, day = 1, month = 1, year = 0;
  uint8_t dur_minutes = 0, dur_hours = 0;
};

uint8_t FromBcd(uint8_t bcd);  // high nibble * 10 + low nibble
uint8_t ToBcd(uint8_t n);      // (n / 10) * 16 + n % 10, n <= 99

class ServiceSector {
 public:
  ServiceSector() { bytes_.fill(0); }
  explicit ServiceSector(const base::Sector& s) : bytes_(s) {}

  base::Sector& bytes() { return bytes_; }
  const base::Sector& bytes() const { return bytes_; }
  uint8_t* data() { return bytes_.data(); }
  const uint8_t* data() const { return bytes_.data(); }

#define KORVAN_U8(name, off) \
  uint8_t name() const { return bytes_[off]; } \
  void set_##name(uint8_t v) { bytes_[off] = v; }
#define KORVAN_U16(name, off) \
  uint16_t name() const { return base::load_le16(&bytes_[off]); } \
  void set_##name(uint16_t v) { base::store_le16(&bytes_[off], v); }
#define KORVAN_U32(name, off) \
  uint32_t name() const { return base::load_le32(&bytes_[off]); } \
  void set_##name(uint32_t v) { base::store_le32(&bytes_[off], v); }
#define KORVAN_U64(name, off) \
  uint64_t name() const { return base::load_le64(&bytes_[off]); } \
  void set_##name(uint64_t v) { base::store_le64(&bytes_[off], v); }

  KORVAN_U32(format_version, 0x008)
  KORVAN_U32(serv_label_number, 0x00C)
  KORVAN_U8(recstate, 0x010)
  KORVAN_U16(firmware_version, 0x012)
  KORVAN_U8(ye, 0x014)
  KORVAN_U8(mo, 0x015)
  KORVAN_U8(md, 0x016)
  KORVAN_U8(ho, 0x017)
  KORVAN_U8(mi, 0x018)
  KORVAN_U8(se, 0x019)
  KORVAN_U8(osd_flags, 0x01A)
  KORVAN_U32(f_cclk_copy, 0x01C)
  KORVAN_U64(cycles, 0x020)
  KORVAN_U32(dev_uid, 0x028)
  KORVAN_U32(battery_adc, 0x02C)
  KORVAN_U32(vbitrate, 0x030)
  KORVAN_U16(resolution_w, 0x034)
  KORVAN_U16(resolution_h, 0x036)
  KORVAN_U16(video_flags, 0x038)
  KORVAN_U8(av_quality_level, 0x03C)
  KORVAN_U32(audio_param_a, 0x048)
  KORVAN_U16(audio_param_b, 0x04C)
  KORVAN_U16(audio_param_c, 0x04E)
  KORVAN_U8(audio_input_conf, 0x050)
  KORVAN_U8(audio_vox_level, 0x051)
  KORVAN_U32(rec_mode_flags, 0x058)
  KORVAN_U32(N_sectors_in_rsr, 0x068)
  KORVAN_U32(N_sectors_in_standard_rsf, 0x06C)
  KORVAN_U32(N_sectors_in_the_last_rsf, 0x070)
  KORVAN_U32(N_rsf, 0x074)
  KORVAN_U32(rec_bgn_sectnum, 0x078)
  KORVAN_U32(rec_end_sectnum, 0x07C)
  KORVAN_U64(startrec_cycles, 0x100)
  KORVAN_U32(poweron_uid0, 0x108)
  KORVAN_U32(imei_sn, 0x10C)
  KORVAN_U32(rsr_sectnum, 0x158)

#undef KORVAN_U8
#undef KORVAN_U16
#undef KORVAN_U32
#undef KORVAN_U64

  static constexpr size_t kStreamConfigOffset = 0x080;
  static constexpr size_t kStreamConfigSize = 128;
  static constexpr size_t kTimersOffset = 0x180;
  static constexpr size_t kGpsRmcOffset = 0x1C0;
  static constexpr size_t kGpsRmcSize = 64;

  bool has_magic() const;
  void set_magic();
  std::span<uint8_t, kStreamConfigSize> stream_config() {
    return std::span<uint8_t, kStreamConfigSize>(&bytes_[kStreamConfigOffset], kStreamConfigSize);
  }
  std::span<const uint8_t, kStreamConfigSize> stream_config() const {
    return std::span<const uint8_t, kStreamConfigSize>(&bytes_[kStreamConfigOffset],
                                                       kStreamConfigSize);
  }
  // Timer i (0..3) as raw BCD bytes.
  TimerEntry timer(int i) const;
  void set_timer(int i, const TimerEntry& t);
  // Any of timers 1..3 (indices 0..2) has a non-zero mode byte.
  bool any_timer_set() const;
  // The GPS RMC body, up to the first NUL or the field's end.
  std::string gps_rmc() const;
  void set_gps_rmc(const std::string& text);  // truncated to 64 bytes, rest zero

 private:
  base::Sector bytes_;
};

// Writes every byte with the defaults; the four geometry fields come from `g`.
void InitServiceSector(ServiceSector& s, const RegionGeometry& g);

struct InfoSectorClass {
  bool hasMagic = false;
  bool acceptable = true;  // false only with the magic and format_version > 203
};
InfoSectorClass IsInformationSector(const ServiceSector& s);

// "YYYY-MM-DD_hh-mm-ss" from ye..se.
std::string FormatStamp(const ServiceSector& s);

// Whether `other` (read from block b) continues the recording whose sector `first` was read
// from block a, in a ring of n blocks: same identity and label difference equal to the distance.
bool SameRecord(const ServiceSector& first, int64_t a, const ServiceSector& other, int64_t b,
                uint32_t n);

// "(bce)" style text of the recstate bits.
std::string RecstateText(uint8_t recstate);

}  // namespace card
