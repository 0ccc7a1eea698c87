// The range of a preview: two slider positions marked with the "[" and "]" buttons, the
// sectors a range conversion starts and ends at, and the red bar that shows the range.
//
// Marking a start at or after the end moves the end to the end of the recording; marking an
// end at or before the start moves the start to the recording's start. Plain value type.
#pragma once

#include <cstdint>

namespace preview {

struct PreviewRange {
  int sliderMax = 1;      // never below 1, so the bar never divides by 0
  int from = 0, till = 1;
  int32_t convStart = 0;  // sector index where the conversion begins
  int32_t convEnd = 0;    // 0: up to the end of the recording

  // The slider maximum for a recording of `blocks` blocks (at least 1).
  static int SliderMax(int64_t blocks) { return blocks >= 2 ? int(blocks - 1) : 1; }

  // A fresh range over the whole recording starting at `firstBlock`.
  void Reset(int64_t blocks, int32_t firstBlock);
  // "[" at `position`, the seek having left the reader at `sector`.
  void MarkFrom(int position, int32_t sector, int32_t firstBlock);
  // "]" at `position`, the seek having left the reader at `sector`.
  void MarkTill(int position, int32_t sector, int32_t firstBlock);

  // The red part of a bar `width` pixels wide: [left, right), at least one pixel.
  int bar_left(int width) const { return width * from / sliderMax; }
  int bar_right(int width) const;
};

}  // namespace preview
