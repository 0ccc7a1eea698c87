// Where each block of a conversion part falls in the part's video: the stream walk the
// conversion makes (from the first key frame at or after the part's first sector to its last
// sector), counting pictures with the timing the muxed .mp4 gets (the SPS picture rate, 25
// per second without one, 50 for a field-coded recording at 25).
//
// A block's time is that of the next picture presented when the block's first box begins,
// so a cue placed there shows when that block's data appears on screen. Blocks before the
// first key frame or past the part have no time. Reads through the shared region reader on
// the calling thread; the reader must have no other user meanwhile.
#pragma once

#include <cstdint>
#include <map>
#include <optional>

#include "card/region_reader.h"
#include "records/telemetry.h"
#include "records/trecord.h"

namespace convert {

struct PartVideoTimes {
  std::map<uint32_t, double> blockSeconds;  // block -> seconds from the part's first picture
  double frameSeconds = 0.04;               // one picture
  uint64_t pictures = 0;
  int error = 0;  // a read error of the walk; the times found before it stay

  double videoSeconds() const { return double(pictures) * frameSeconds; }
  std::optional<double> BlockTime(uint32_t block) const;
  records::BlockClock Clock() const;
};

PartVideoTimes MeasurePartVideo(card::RegionReader& region, const records::TRecord& record,
                                int32_t firstSector, int32_t lastSector);

}  // namespace convert
