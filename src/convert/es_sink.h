// Where the box writer hands the samples of one output part when they do not go into
// elementary-stream files: every NAL unit of a video box and every audio frame with the ADTS
// header the .aac file would hold, each after the box it came from. The spans point into the
// box and are valid during the call only. Used on the conversion worker's thread.
#pragma once

#include <cstdint>
#include <span>

#include "convert/stream_reader.h"

namespace convert {

class EsSink {
 public:
  virtual ~EsSink() = default;
  // The box whose samples follow: header included, rounded size. `start` is where it lies in
  // the stream, or null for a configuration box copied from an information sector.
  virtual void BeginBox(std::span<const uint8_t> box, const StreamReader::Position* start) = 0;
  virtual void VideoUnit(std::span<const uint8_t> nal) = 0;
  virtual void AudioFrame(const uint8_t* adtsHeader, std::span<const uint8_t> payload) = 0;
};

}  // namespace convert
