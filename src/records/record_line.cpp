#include "records/record_line.h"

#include <cstdio>

namespace records {

int32_t RecordBlocks(const TRecord& r) {
  int64_t blocks = int64_t(r.ess_index) - r.bss_index;
  if (blocks < 0) blocks += r.ess.N_sectors_in_rsr() >> 8;
  return int32_t(blocks + 1);
}

int32_t RecordDuration(const TRecord& r) {
  const uint64_t clk = r.ess.f_cclk_copy() != 0 ? r.ess.f_cclk_copy() : card::kDefaultClockHz;
  uint64_t quotient = 0;
  if (r.bss.recstate() & 1) {
    quotient = (r.ess.cycles() - r.ess.startrec_cycles()) / clk;
  } else {
    const int32_t blocks = RecordBlocks(r);
    if (blocks == 1) return -1;
    const uint64_t d = r.ess.cycles() - r.bss.cycles();
    quotient = (d + d / uint64_t(int64_t(blocks) - 1)) / clk;
  }
  // A counter that went backwards wraps to a huge quotient: unknown rather than a
  // truncated, plausible-looking number.
  if (quotient > uint64_t(INT32_MAX)) return -1;
  return int32_t(quotient);
}

std::string FormatDuration(int32_t seconds) {
  if (seconds < 0) return "-- ч -- мин -- с";
  char text[64];
  std::snprintf(text, sizeof text, "%d ч %02d мин %02d с", seconds / 3600, seconds % 3600 / 60,
                seconds % 60);
  return text;
}

std::string RecordPrefix(uint32_t imei_sn) {
  if (imei_sn == 0xFFFFFFFF) return "Запись ";
  char text[32];
  if ((imei_sn >> 20) == 0)
    std::snprintf(text, sizeof text, "[%06u] ", imei_sn);
  else
    std::snprintf(text, sizeof text, "[%08X] ", imei_sn);
  return text;
}

std::string RecordLine(const TRecord& r) {
  return RecordPrefix(r.bss.imei_sn()) + card::FormatStamp(r.bss) + ", длит. " +
         FormatDuration(RecordDuration(r));
}

}  // namespace records
