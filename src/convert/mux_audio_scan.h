// Scan pass over the ADTS file of one output part: the audio sample table (raw AAC frame
// sizes, headers stripped) and the stream's format from its first frame. An empty file is
// valid and gives no audio track. Returns a MuxerError code. Any thread.
#pragma once

#include <cstdint>
#include <vector>

#include "convert/adts_parser.h"
#include "convert/mux_file_io.h"

namespace convert {

struct AudioScan {
  AdtsHeader format;                   // of the first frame; every frame must match it
  uint32_t sample_rate = 0;
  std::vector<uint32_t> sample_sizes;  // raw frame bytes per sample
};

int ScanAudio(InputFile& file, AudioScan* scan);

// Maps the reader's failures to muxer codes (kMuxOk for a frame or the end).
int AdtsReaderError(AdtsReader::Result result);

}  // namespace convert
