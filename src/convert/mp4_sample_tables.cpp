#include "convert/mp4_sample_tables.h"

namespace convert {

uint64_t SttsSize(uint64_t sample_count) { return BoxScope::kFullHeader + 4 + (sample_count ? 8 : 0); }

void WriteStts(BoxBuffer& out, uint32_t sample_count, uint32_t sample_delta) {
  BoxScope box(out, "stts", SttsSize(sample_count), 0, 0);
  out.U32(sample_count ? 1 : 0);
  if (sample_count) {
    out.U32(sample_count);
    out.U32(sample_delta);
  }
}

uint64_t StssSize(uint64_t sync_count) { return BoxScope::kFullHeader + 4 + 4 * sync_count; }

void WriteStss(BoxBuffer& out, std::span<const uint32_t> sync_samples) {
  BoxScope box(out, "stss", StssSize(sync_samples.size()), 0, 0);
  out.U32(uint32_t(sync_samples.size()));
  for (uint32_t number : sync_samples) out.U32(number);
}

uint64_t StscSize(uint64_t sample_count) { return BoxScope::kFullHeader + 4 + (sample_count ? 12 : 0); }

void WriteStsc(BoxBuffer& out, uint64_t sample_count) {
  BoxScope box(out, "stsc", StscSize(sample_count), 0, 0);
  out.U32(sample_count ? 1 : 0);
  if (sample_count) {
    out.U32(1);  // first chunk
    out.U32(1);  // samples per chunk
    out.U32(1);  // sample description index
  }
}

uint64_t StszSize(uint64_t sample_count) { return BoxScope::kFullHeader + 8 + 4 * sample_count; }

void WriteStsz(BoxBuffer& out, std::span<const uint32_t> sizes) {
  BoxScope box(out, "stsz", StszSize(sizes.size()), 0, 0);
  out.U32(0);  // no common size: a table follows
  out.U32(uint32_t(sizes.size()));
  for (uint32_t size : sizes) out.U32(size);
}

uint64_t ChunkOffsetsSize(uint64_t chunk_count, bool co64) {
  return BoxScope::kFullHeader + 4 + (co64 ? 8 : 4) * chunk_count;
}

void WriteChunkOffsets(BoxBuffer& out, std::span<const uint64_t> offsets, bool co64) {
  BoxScope box(out, co64 ? "co64" : "stco", ChunkOffsetsSize(offsets.size(), co64), 0, 0);
  out.U32(uint32_t(offsets.size()));
  for (uint64_t offset : offsets) {
    if (co64) {
      out.U64(offset);
    } else {
      if (offset > 0xFFFFFFFFu) out.MarkBad();
      out.U32(uint32_t(offset));
    }
  }
}

}  // namespace convert
