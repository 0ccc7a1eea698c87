// Sample descriptions: stsd holding avc1 + avcC (H.264 parameter sets, 4-byte NAL lengths)
// for video, or mp4a + esds (AudioSpecificConfig from the ADTS header) for audio.
// Pure functions; any thread.
#pragma once

#include <cstdint>

#include "convert/adts_parser.h"
#include "convert/h264_parameter_sets.h"
#include "convert/h264_sps.h"
#include "convert/mp4_box_writer.h"

namespace convert {

struct VideoEntry {
  const ParameterSetStore* parameter_sets = nullptr;
  H264Sps sps;  // the first SPS: profile, level, size, chroma format
};

struct AudioEntry {
  AdtsHeader format;
  uint32_t sample_rate = 0;
  uint32_t buffer_size = 0;  // largest frame, bytes
  uint32_t max_bitrate = 0;  // bits per second over the busiest second
  uint32_t avg_bitrate = 0;
};

uint64_t VideoStsdSize(const VideoEntry& entry);
void WriteVideoStsd(BoxBuffer& out, const VideoEntry& entry);

uint64_t AudioStsdSize();
void WriteAudioStsd(BoxBuffer& out, const AudioEntry& entry, uint16_t es_id);

}  // namespace convert
