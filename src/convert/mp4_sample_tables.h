// Sample table boxes: stts (one run of equal durations), stss (sync samples), stsc (one
// sample per chunk), stsz (a size per sample) and stco or co64 (a chunk offset per sample).
// Each writer's size function gives the exact box size for its arguments.
// Pure functions; any thread.
#pragma once

#include <cstdint>
#include <span>

#include "convert/mp4_box_writer.h"

namespace convert {

uint64_t SttsSize(uint64_t sample_count);
void WriteStts(BoxBuffer& out, uint32_t sample_count, uint32_t sample_delta);

uint64_t StssSize(uint64_t sync_count);
void WriteStss(BoxBuffer& out, std::span<const uint32_t> sync_samples);

uint64_t StscSize(uint64_t sample_count);
void WriteStsc(BoxBuffer& out, uint64_t sample_count);

uint64_t StszSize(uint64_t sample_count);
void WriteStsz(BoxBuffer& out, std::span<const uint32_t> sizes);

uint64_t ChunkOffsetsSize(uint64_t chunk_count, bool co64);
void WriteChunkOffsets(BoxBuffer& out, std::span<const uint64_t> offsets, bool co64);

}  // namespace convert
