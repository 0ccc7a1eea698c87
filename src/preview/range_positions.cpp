#include "preview/range_positions.h"

#include "preview/keyframe_seeker.h"

namespace preview {

bool RangeForPositions(card::RegionReader& region, uint32_t ringBlocks,
                       const records::TRecord& record, int64_t blocks, int from, int till,
                       PreviewRange& range, std::string& error) {
  range.Reset(blocks, record.bss_index);
  for (int p : {from, till})
    if (p < 0 || p > range.sliderMax) {
      error = "position " + std::to_string(p) + " lies outside 0.." +
              std::to_string(range.sliderMax);
      return false;
    }
  KeyFrameSeeker seeker(region, ringBlocks);
  seeker.Open(record.bss_index, blocks);
  seeker.Seek(0);  // what opening the window does
  const auto seek = [&](int position) {
    if (seeker.Seek(position) != SeekOutcome::not_found) return true;
    error = "no key frame found for position " + std::to_string(position);
    return false;
  };
  if (!seek(from)) return false;
  range.MarkFrom(from, seeker.current_sector(), record.bss_index);
  if (!seek(till)) return false;
  range.MarkTill(till, seeker.current_sector(), record.bss_index);
  return true;
}

}  // namespace preview
