#include "convert/h264_access_units.h"

namespace convert {

bool AccessUnitSplitter::Feed(std::span<const uint8_t> nal) {
  const int type = NalType(nal);
  bool opens = false;
  if (IsSliceNal(type)) {
    opens = has_slice_ && SliceStartsPicture(nal);
    has_slice_ = true;
    return opens;
  }
  const bool leads_picture = type == kNalAccessUnitDelimiter || type == kNalSps ||
                             type == kNalPps || type == kNalSei || (type >= 14 && type <= 18);
  if (leads_picture && has_slice_) {
    has_slice_ = false;
    opens = true;
  }
  return opens;
}

}  // namespace convert
