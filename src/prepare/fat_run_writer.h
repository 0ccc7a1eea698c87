// Writes runs of FAT32 entries into every FAT copy in large transfers: the sectors holding the
// run are read once from the first copy (up to 4 MiB at a time), the entries are set, and the
// same bytes are written to each copy. Entries outside the run that share its first or last
// sector keep the first copy's values in every copy, as a sector-by-sector rewrite that copies
// the first FAT's sectors into the second leaves them. Single caller at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "card/fat_volume.h"
#include "platform/raw_volume.h"

namespace prepare {

inline constexpr uint32_t kEndOfChain = 0x0FFFFFFF;

class FatRunWriter {
 public:
  // Progress: entries of the run written so far; false from it stops the run.
  using Progress = std::function<bool(uint64_t entriesDone)>;

  FatRunWriter(platform::RawVolume& v, const card::VolumeGeometry& g, size_t chunkBytes = 4u << 20);

  // Sets entries first .. first + count - 1 to value(cluster) (full 32-bit values).
  // False when a read or write fails, or when progress asks to stop.
  bool Write(uint32_t first, uint32_t count, const std::function<uint32_t(uint32_t)>& value,
             const Progress& progress = {});

 private:
  platform::RawVolume& v_;
  card::VolumeGeometry g_;
  size_t chunkBytes_;
  std::vector<uint8_t> buf_;
};

}  // namespace prepare
