// Test helper: writes small ISO-BMFF box trees like the muxer's (ftyp, moov with one track per
// TrackSpec, mdat with the samples interleaved in table order), so post-processing and
// verification can be tested on exact, known values without an encoder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

struct TrackSpec {
  bool video = true;
  uint32_t timescale = 25;
  uint32_t duration = 250;      // "mdhd"
  uint32_t tkhdDuration = 10000;
  std::vector<uint32_t> sampleSizes;
  bool co64 = false;
};

struct Mp4Spec {
  uint32_t movieTimescale = 1000;
  uint32_t movieDuration = 10000;
  std::vector<TrackSpec> tracks;
};

// A big-endian box: size, type, payload.
std::vector<uint8_t> MakeBox(const std::string& type, const std::vector<uint8_t>& payload);
std::vector<uint8_t> BuildMp4(const Mp4Spec& desc);

// A video track of `videoSamples` and an audio track of `audioSamples`, sizes varied.
Mp4Spec TwoTrackSpec(uint32_t videoSamples, uint32_t audioSamples);

// Offset of the first box of `type` found by a plain walk through the usual containers,
// or -1 (top-level boxes and children of moov/trak/mdia/minf/stbl).
int64_t FindBox(const std::vector<uint8_t>& file, const std::string& type, int nth = 0);

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadBytes(const std::string& path);

}  // namespace testsupport
