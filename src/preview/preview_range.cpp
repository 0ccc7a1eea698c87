#include "preview/preview_range.h"

namespace preview {

void PreviewRange::Reset(int64_t blocks, int32_t firstBlock) {
  sliderMax = SliderMax(blocks);
  from = 0;
  till = sliderMax;
  convStart = firstBlock * 256;
  convEnd = 0;
}

void PreviewRange::MarkFrom(int position, int32_t sector, int32_t) {
  from = position;
  if (from >= till) {
    convEnd = 0;
    till = sliderMax;
  }
  convStart = sector;
}

void PreviewRange::MarkTill(int position, int32_t sector, int32_t firstBlock) {
  till = position;
  if (from >= till) {
    convStart = firstBlock * 256;
    from = 0;
  }
  convEnd = sector;
}

int PreviewRange::bar_right(int width) const {
  const int right = width * till / sliderMax;
  return right > bar_left(width) ? right : bar_left(width) + 1;
}

}  // namespace preview
