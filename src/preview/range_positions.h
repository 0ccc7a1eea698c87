// The sectors of a range given as two slider positions (blocks of a recording, 0-based), found
// the way the preview's "[" and "]" buttons find them: the window's opening seek, then a seek
// at each position, each taking the sector where the box shown begins. One thread at a time.
#pragma once

#include <cstdint>
#include <string>

#include "card/region_reader.h"
#include "preview/preview_range.h"
#include "records/trecord.h"

namespace preview {

// Fills `range`; false with a reason in `error` when a position lies outside the recording or
// no key frame is found for it.
bool RangeForPositions(card::RegionReader& region, uint32_t ringBlocks,
                       const records::TRecord& record, int64_t blocks, int from, int till,
                       PreviewRange& range, std::string& error);

}  // namespace preview
