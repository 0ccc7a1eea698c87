// The simulator's encoders use the same FFmpeg holders as the preview.
#pragma once

#include "preview/av_holders.h"

namespace cardsim {

using preview::CodecContextPtr;
using preview::FramePtr;
using preview::PacketPtr;

}  // namespace cardsim
