// Writes the .mp4 of one indexed output part straight from the ring: ftyp and moov planned
// from the index exactly as the muxer plans them from elementary-stream files, then every
// sample copied from its boxes (re-read through the stream reader, from the page cache when
// the part was just read) into mdat through a 1 MiB output window, with each sample's CRC-32
// (sample seed) computed on the way for the integrity record. No temporary file is written:
// the samples go from the ring to their place in the .mp4 in one copy.
// Returns 0, the muxer's error code, the stream reader's code when a box cannot be read
// again, or kIndexedWriteCancelled once `cancel` is set (checked between boxes); on failure
// no output file is left. `onProgress` hears the share of boxes copied (0..1) now and then.
// Worker thread only.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "convert/mp4_muxer.h"
#include "convert/part_index.h"
#include "convert/sample_crc.h"
#include "convert/stream_reader.h"

namespace convert {

inline constexpr int kIndexedWriteCancelled = -1;

int WriteIndexedMp4(const PartIndex& index, StreamReader& reader, const std::string& mp4Path,
                    SampleCrcs& crcs, const std::atomic<bool>* cancel = nullptr,
                    const std::function<void(double)>& onProgress = {},
                    const MuxOptions& options = {});

}  // namespace convert
