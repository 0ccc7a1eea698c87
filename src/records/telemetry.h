// Telemetry of a recording: one timed sample per information sector of the blocks it covers,
// in ring order, with the recorder's clock, the GPS fix and the battery reading.
//
// ReadTelemetry walks the blocks from `firstBlock` to `lastBlock` (ring order, both included)
// through ReadInfoSector. A block is sampled only when its sector is readable, carries the
// magic and belongs to the recording (the identity of `record.bss`); others are skipped. The
// stream position of each block comes from the caller's clock (the .mp4's own timing, see
// convert/part_video_times.h); without one, from the recorder's cycle counter relative to
// the first sampled block. Any thread: the region reader serialises its callers.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "card/region_reader.h"
#include "records/rmc_fix.h"
#include "records/trecord.h"

namespace records {

struct TelemetrySample {
  uint32_t block = 0;
  int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;  // recorder clock
  std::optional<double> streamSeconds;  // from the start of the part; empty: not in the video
  RmcReading gps;
  uint32_t batteryAdc = 0;
  float volts = 0;
  int percent = 0;
};

struct Telemetry {
  std::vector<TelemetrySample> samples;
  double videoSeconds = 0;  // length of the part's video, 0 when unknown
  uint32_t skipped = 0;     // blocks without a sample (unreadable, no magic, other recording)
};

// Stream seconds of a block, or nothing when the block's data is not in the video.
using BlockClock = std::function<std::optional<double>(uint32_t block)>;

Telemetry ReadTelemetry(card::RegionReader& reader, uint32_t ringBlocks, const TRecord& record,
                        uint32_t firstBlock, uint32_t lastBlock, const BlockClock& clock = {});

// The blocks holding the sectors of [firstSector, lastSector]: {first, last} block. Blocks
// of it outside the recording are left out by ReadTelemetry's identity test.
std::pair<uint32_t, uint32_t> RangeBlocks(uint32_t ringBlocks, int64_t firstSector,
                                          int64_t lastSector);

// The valid fixes in sample order, a fix repeated unchanged by following blocks kept once.
std::vector<GpsFix> UniqueFixes(const Telemetry& t);

// The fix of one information sector as a short text for a label beside the battery line
// (FixText of its parsed gps_rmc field), e.g. "55.75120 N, 37.61840 E".
std::string SectorFixText(const card::ServiceSector& sector);

// The first valid fix, and the distance along the unique fixes in metres.
struct TrackSummary {
  std::optional<GpsFix> firstFix;
  double distanceMeters = 0;
};
TrackSummary SummarizeTrack(const Telemetry& t);

}  // namespace records
