#include "records/telemetry.h"

#include "card/servsectclass.h"
#include "records/battery_charge.h"
#include "records/block_ring.h"
#include "records/read_info_sector.h"

namespace records {
namespace {

bool SameIdentity(const card::ServiceSector& a, const card::ServiceSector& b) {
  return a.imei_sn() == b.imei_sn() && a.poweron_uid0() == b.poweron_uid0() &&
         a.startrec_cycles() == b.startrec_cycles();
}

TelemetrySample Sample(uint32_t block, const card::ServiceSector& s) {
  TelemetrySample t;
  t.block = block;
  t.year = 2000 + s.ye();
  t.month = s.mo();
  t.day = s.md();
  t.hour = s.ho();
  t.minute = s.mi();
  t.second = s.se();
  t.gps = ParseRmc(std::span<const uint8_t>(s.data() + card::ServiceSector::kGpsRmcOffset,
                                            card::ServiceSector::kGpsRmcSize));
  t.batteryAdc = s.battery_adc();
  t.volts = BatteryVolts(t.batteryAdc);
  t.percent = BatteryPercent(t.batteryAdc);
  return t;
}

}  // namespace

Telemetry ReadTelemetry(card::RegionReader& reader, uint32_t ringBlocks, const TRecord& record,
                        uint32_t firstBlock, uint32_t lastBlock, const BlockClock& clock) {
  Telemetry t;
  if (ringBlocks == 0 || firstBlock >= ringBlocks || lastBlock >= ringBlocks) return t;
  const BlockRing ring{ringBlocks};
  const uint32_t count = ring.distance(firstBlock, lastBlock) + 1;
  InfoSectorRead info;
  bool haveOrigin = false;
  uint64_t originCycles = 0;
  for (uint32_t i = 0, block = firstBlock; i < count; ++i, block = ring.advance(block, 1)) {
    ReadInfoSector(reader, block, info);
    if (!info.ok || !info.hasMagic || !SameIdentity(info.sector, record.bss)) {
      ++t.skipped;
      continue;
    }
    TelemetrySample sample = Sample(block, info.sector);
    if (clock) {
      sample.streamSeconds = clock(block);
    } else {
      // The recorder's tick counter, relative to the first sampled block.
      const uint64_t cycles = info.sector.cycles();
      if (!haveOrigin) originCycles = cycles, haveOrigin = true;
      const uint32_t hz = info.sector.f_cclk_copy();
      sample.streamSeconds =
          double(int64_t(cycles - originCycles)) / double(hz ? hz : card::kDefaultClockHz);
    }
    t.samples.push_back(sample);
  }
  return t;
}

std::pair<uint32_t, uint32_t> RangeBlocks(uint32_t ringBlocks, int64_t firstSector,
                                          int64_t lastSector) {
  const auto block = [ringBlocks](int64_t sector) {
    return ringBlocks ? uint32_t(uint64_t(sector < 0 ? 0 : sector) / 256 % ringBlocks) : 0;
  };
  return {block(firstSector), block(lastSector)};
}

std::string SectorFixText(const card::ServiceSector& sector) {
  return FixText(Sample(0, sector).gps.fix);
}

std::vector<GpsFix> UniqueFixes(const Telemetry& t) {
  std::vector<GpsFix> fixes;
  for (const TelemetrySample& s : t.samples)
    if (s.gps.fix && (fixes.empty() || !(fixes.back() == *s.gps.fix))) fixes.push_back(*s.gps.fix);
  return fixes;
}

TrackSummary SummarizeTrack(const Telemetry& t) {
  TrackSummary summary;
  const std::vector<GpsFix> fixes = UniqueFixes(t);
  if (fixes.empty()) return summary;
  summary.firstFix = fixes.front();
  for (size_t i = 1; i < fixes.size(); ++i) summary.distanceMeters += DistanceMeters(fixes[i - 1], fixes[i]);
  return summary;
}

}  // namespace records
