#include "prepare/fat_run_writer.h"

#include <algorithm>

#include "base/endian.h"

namespace prepare {

FatRunWriter::FatRunWriter(platform::RawVolume& v, const card::VolumeGeometry& g,
                           size_t chunkBytes)
    : v_(v), g_(g), chunkBytes_(std::max<size_t>(base::kSectorSize, chunkBytes / base::kSectorSize * base::kSectorSize)) {}

bool FatRunWriter::Write(uint32_t first, uint32_t count,
                         const std::function<uint32_t(uint32_t)>& value, const Progress& progress) {
  constexpr uint64_t kS = base::kSectorSize;
  const uint64_t fatBytes = uint64_t(g_.sectorsPerFat) * kS;
  const uint64_t begin = uint64_t(first) * 4, end = (uint64_t(first) + count) * 4;
  if (count == 0) return true;
  if (end > fatBytes) return false;
  const uint64_t copy0 = uint64_t(g_.fatSector) * kS;
  // Whole sectors covering the run, processed chunk by chunk.
  for (uint64_t at = begin / kS * kS; at < end;) {
    const uint64_t stop = std::min<uint64_t>(at + chunkBytes_, (end + kS - 1) / kS * kS);
    const size_t n = size_t(stop - at);
    buf_.resize(n);
    if (v_.read_at(copy0 + at, buf_) != n) return false;
    const uint64_t from = std::max(begin, at), to = std::min(end, stop);
    for (uint64_t e = from; e < to; e += 4)
      base::store_le32(&buf_[size_t(e - at)], value(uint32_t(e / 4)));
    for (int copy = 0; copy < g_.fatCount; ++copy)
      if (v_.write_at(copy0 + uint64_t(copy) * fatBytes + at, buf_) != n) return false;
    if (progress && !progress((to - begin) / 4)) return false;
    at = stop;
  }
  return true;
}

}  // namespace prepare
