// The copy pass: streams both elementary-stream files into mdat in the order the layout
// chose, turning Annex B start codes into 4-byte lengths and stripping ADTS headers.
// Every sample must start exactly at its planned offset and have its planned size;
// otherwise an input changed since the scan and the pass fails with kMuxInputChanged.
// Returns a MuxerError code. One call per output; any thread.
#pragma once

#include <cstdint>

#include "convert/h264_parameter_sets.h"
#include "convert/mux_file_io.h"
#include "convert/mux_layout.h"

namespace convert {

struct CopySources {
  InputFile* video = nullptr;
  InputFile* audio = nullptr;                     // may be null when the movie has no audio
  const ParameterSetStore* parameter_sets = nullptr;
  uint64_t first_access_unit = 0;                 // access units before it are dropped
};

int CopyMediaData(const CopySources& sources, const MovieLayout& movie, uint64_t data_end,
                  OutputFile& out);

}  // namespace convert
