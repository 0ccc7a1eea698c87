// Finding the hc files of a card: the raw root-directory walk that gives each file's first
// volume sector, and the file-system check that decides whether the card is marked and builds
// the partition file table. Called on the UI thread while a medium opens.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "card/card_file_system.h"
#include "card/fat_volume.h"
#include "card/region_geometry.h"
#include "platform/raw_volume.h"

namespace card {

// The partition file table holds at most this many files; a card with more is refused.
inline constexpr uint32_t kMaxPartitionFiles = 128;

struct CardFileSectors {
  uint32_t hc00infoSector = 0;  // volume sectors; 0 = not found
  uint32_t hc01infoSector = 0;
  uint32_t hcpt0000Sector = 0;
  uint32_t dirRegionSectors = 0;  // sizes of HCPT0000 ... accepted by the walk, in sectors
  bool found() const { return hc00infoSector && hc01infoSector && hcpt0000Sector; }
};

// The raw walk over the root directory of FAT32 volume `g` (see the .cpp for the rules).
CardFileSectors LocateCardFiles(platform::RawVolume& v, const VolumeGeometry& g);

struct CardFiles {
  bool marked = false;
  std::vector<std::string> names;      // "hcpt0000.hcf", "hcpt0001.hcf", ...
  std::vector<std::string> partFiles;  // their paths as shown
  std::vector<uint64_t> partFileBytes;
  RegionGeometry region;
};

// The file-system check: both info files open, then hcpt0000.hcf and its successors until one
// is missing. Not marked when a size is not a multiple of 512, when there are more than
// kMaxPartitionFiles files, or when the region would not fit 32-bit sector numbers.
CardFiles CheckCardFiles(CardFileSystem& fs, const std::string& hcpt0000Name = "hcpt0000.hcf");

// The decimal number at the end of a base name, plus one: "hcpt0099" -> "hcpt0100".
std::string IncrementBaseName(std::string base);

}  // namespace card
