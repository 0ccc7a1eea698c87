// Scan pass over the ADTS file of one output part: the audio sample table (raw AAC frame
// sizes, headers stripped) and the stream's format from its first frame; every later frame
// must carry the same header format. Returns a MuxerError code. Any thread.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "convert/adts_parser.h"
#include "convert/mux_file_io.h"

namespace convert {

// An empty file is valid and gives no audio track. A stream whose headers leave the channel
// layout to the raw data (configuration 0) gets it from the first frame's first element.
struct AudioScan {
  AdtsHeader format;                   // of the first frame, channel configuration resolved
  uint32_t sample_rate = 0;
  std::vector<uint32_t> sample_sizes;  // raw frame bytes per sample
};

int ScanAudio(InputFile& file, AudioScan* scan);

// The per-frame decisions of ScanAudio, for callers that hold the frames elsewhere.
class AudioScanner {
 public:
  // Adds one parsed frame to `scan`; kMuxOk or the muxer's error code.
  int Feed(const AdtsHeader& header, std::span<const uint8_t> payload, AudioScan* scan);

 private:
  AdtsHeader first_;
};

// Maps the reader's failures to muxer codes (kMuxOk for a frame or the end).
int AdtsReaderError(AdtsReader::Result result);

}  // namespace convert
