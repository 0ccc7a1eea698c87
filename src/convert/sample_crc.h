// CRC-32 (sample seed) of every sample of the video and the audio table, as stored in the
// integrity record. Both tables are followed together in file order through one 1 MiB read
// window, so a file whose samples lie one after the other is read once, sequentially, in
// large reads. A sample larger than the window is read in several pieces; a sample that runs
// past the end of the data contributes the CRC of the bytes that exist.
// Memory: the window plus two small table buffers per track. One call per thread at a time.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "convert/mp4_box_walk.h"
#include "convert/mp4_file.h"

namespace convert {

inline constexpr size_t kSampleWindowBytes = 1 << 20;

// Sample CRCs already known to whoever wrote the samples, per track in table order.
struct SampleCrcs {
  std::vector<uint32_t> video;
  std::vector<uint32_t> audio;
};

// Writes table.count() little-endian CRCs for each track into the given spans (which must
// hold 4 bytes per sample). Sample bytes at or past `dataEnd` count as missing: the record
// appended there must not feed back into the CRCs it holds. False when a table could not be
// read.
bool ComputeSampleCrcs(const Mp4File& file, uint64_t dataEnd, const SampleTable& video,
                       const SampleTable& audio, std::span<uint8_t> videoCrcs,
                       std::span<uint8_t> audioCrcs);

}  // namespace convert
