// The time corrections of a muxed .mp4, computed from the walk's values as byte patches:
// the field-coding fix (media timescale 25 -> 50), a movie duration exactly twice a track's
// halved, and the audio timescale scaled when audio and video durations disagree by more than
// half a second over the movie. Pure computation; any thread.
#pragma once

#include <cstdint>
#include <vector>

#include "convert/mp4_box_walk.h"

namespace convert {

struct BytePatch {
  uint64_t pos = 0;
  std::vector<uint8_t> bytes;
};

std::vector<BytePatch> PlanTimeCorrections(const Mp4Walk& walk);

}  // namespace convert
