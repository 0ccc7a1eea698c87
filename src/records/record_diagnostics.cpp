#include "records/record_diagnostics.h"

#include <cinttypes>
#include <cstdio>
#include <memory>

#include "records/block_ring.h"
#include "records/read_info_sector.h"
#include "records/record_line.h"

namespace records {

namespace {

// An index outside a four-entry name table prints as "?" and its value.
std::string TableName(const char* const (&table)[4], unsigned index) {
  if (index < 4) return table[index];
  return "?" + std::to_string(index);
}

const char* const kQualityNames[4] = {"hi ", "me ", "lo ", "rsv"};
const char* const kAudioInputNames[4] = {"mic", "agc", "lin", "rsv"};

std::string Dec32(uint32_t v) { return std::to_string(int32_t(v)); }
std::string Dec64(uint64_t v) { return std::to_string(int64_t(v)); }
std::string Udec(unsigned v) { return std::to_string(v); }

std::string Hex(uint32_t v, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, unsigned(v));
  return text;
}

std::string RingHead(int index, RingEnds ring) {
  return "rsr: [" + std::to_string(ring.s_s_bgn) + " : " + std::to_string(ring.s_s_end) +
         "]\nrecord #" + std::to_string(index);
}

}  // namespace

std::string FullRecordDump(const TRecord& r, int index, RingEnds ring) {
  const card::ServiceSector& e = r.ess;
  std::string t = RingHead(index, ring);
  t += "\nbss:\n bss_index = " + std::to_string(r.bss_index);
  t += "\n recstate = " + card::RecstateText(r.bss.recstate());
  t += "\ness:\n ess_index = " + std::to_string(r.ess_index);
  t += "\n recstate = " + card::RecstateText(e.recstate());
  t += "\n startrec_cycles = " + Dec64(e.startrec_cycles());
  t += "\n cycles = " + Dec64(e.cycles());
  t += "\n d_cycles = " + Dec64(e.cycles() - e.startrec_cycles());
  t += "\n f_cclk_copy = " + Dec32(e.f_cclk_copy());
  t += "\n firmware version = " + Hex(e.firmware_version(), 4);
  t += "\n poweron_uid0 = 0x" + Hex(e.poweron_uid0(), 8);
  t += "\n dev_uid (HEX) = 0x" + Hex(e.dev_uid(), 8);
  t += "\n imei_sn = " + Dec32(e.imei_sn());
  t += "\n imei_sn (HEX) = 0x" + Hex(e.imei_sn(), 8);
  t += "\n audio_input_conf = " + Udec(e.audio_input_conf());
  t += "\n audio_vox_level = " + Udec(e.audio_vox_level());
  t += "\n rec_mode_flags = " + Dec32(e.rec_mode_flags());
  t += "\n N_sectors_in_rsr = " + Dec32(e.N_sectors_in_rsr());
  t += "\n N_sectors_in_standard_rsf = " + Dec32(e.N_sectors_in_standard_rsf());
  t += "\n N_sectors_in_the_last_rsf = " + Dec32(e.N_sectors_in_the_last_rsf());
  t += "\n N_rsf = " + Dec32(e.N_rsf()) + "\n";
  t += "\n vbitrate/av_quality_level = " + Dec32(e.vbitrate()) + "/" +
       TableName(kQualityNames, e.av_quality_level());
  t += "\n resolution = " + Udec(e.resolution_w()) + "x" + Udec(e.resolution_h());
  t += "\n progscale/fldcoding = " + Udec((e.video_flags() >> 1) & 1) + "/" +
       Udec(e.video_flags() & 1);
  t += "\n audio params = " + Dec32(e.audio_param_a()) + "/" + Udec(e.audio_param_b()) + "/" +
       Udec(e.audio_param_c());
  t += "\n audio input/vox level = " + TableName(kAudioInputNames, e.audio_input_conf()) + "/" +
       Udec(e.audio_vox_level());
  return t;
}

std::string ShortRecordDump(const TRecord& r, int index, RingEnds ring) {
  const card::ServiceSector& e = r.ess;
  const card::ServiceSector& b = r.bss;
  std::string t = RingHead(index, ring);
  t += "\n startrec_cycles = " + Dec64(e.startrec_cycles());
  t += "\n cycles = " + Dec64(e.cycles());
  t += "\n d_cycles = " + Dec64(e.cycles() - e.startrec_cycles());
  t += "\n f_cclk_copy = " + Dec32(e.f_cclk_copy());
  t += "\n ye = " + Udec(b.ye()) + "\n mo = " + Udec(b.mo()) + "\n md = " + Udec(b.md());
  t += "\n ho = " + Udec(b.ho()) + "\n mi = " + Udec(b.mi()) + "\n se = " + Udec(b.se());
  t += "\n audio_input_conf = " + Udec(e.audio_input_conf());
  t += "\n poweron_uid0 = 0x" + Hex(e.poweron_uid0(), 8);
  t += "\n imei_sn = " + Dec32(e.imei_sn());
  return t;
}

std::string BatteryLogLine(const card::ServiceSector& info) {
  const uint32_t clk = info.f_cclk_copy() ? info.f_cclk_copy() : card::kDefaultClockHz;
  const double time = double(int64_t(info.cycles() - info.startrec_cycles())) / clk;
  const double volts = info.battery_adc() * 5.5 / 4096;
  char text[96];
  std::snprintf(text, sizeof text, "[%.2f] > %.5f\n", time, volts);
  std::string line = text;
  for (char& c : line)
    if (c == '.') c = ',';
  return line;
}

std::string BatteryLogFileName(const TRecord& r) { return card::FormatStamp(r.bss) + "_accum.dat"; }

BatteryLogResult WriteBatteryLog(card::RegionReader& reader, const TRecord& r,
                                 uint32_t ringBlocks, const std::string& path) {
  BatteryLogResult result;
  const std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!file) return result;
  result.opened = true;
  if (ringBlocks == 0 || r.bss_index < 0) return result;

  const BlockRing ring{ringBlocks};
  const int32_t blocks = RecordBlocks(r);
  uint32_t block = uint32_t(r.bss_index) % ringBlocks;
  InfoSectorRead info;
  for (int32_t i = 0; i < blocks; ++i, block = ring.advance(block, 1)) {
    ReadInfoSector(reader, block, info);
    if (!info.ok || !info.hasMagic) {
      ++result.skipped;
      continue;
    }
    const std::string line = BatteryLogLine(info.sector);
    if (std::fwrite(line.data(), 1, line.size(), file.get()) != line.size()) result.written = false;
    ++result.lines;
  }
  if (std::fflush(file.get()) != 0) result.written = false;
  return result;
}

}  // namespace records
