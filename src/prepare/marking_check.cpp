#include "prepare/marking_check.h"

#include <algorithm>
#include <vector>

#include "base/endian.h"
#include "card/card_files.h"
#include "card/fat32_reader.h"
#include "card/fat_volume.h"
#include "prepare/hc_dir_entry.h"

namespace prepare {

namespace {

constexpr uint64_t kWalkMinFileBytes = 2u << 20;

MarkingCheck Fail(std::string problem) { return MarkingCheck{false, std::move(problem)}; }

// Compares the FAT copies over entries 0 .. lastCluster, a few MiB at a time.
bool FatCopiesEqual(platform::RawVolume& v, const card::VolumeGeometry& g, uint32_t lastCluster) {
  constexpr uint64_t kChunk = 4u << 20;
  const uint64_t fatBytes = uint64_t(g.sectorsPerFat) * base::kSectorSize;
  const uint64_t used = std::min<uint64_t>(fatBytes, (uint64_t(lastCluster) + 1) * 4);
  const uint64_t copy0 = uint64_t(g.fatSector) * base::kSectorSize;
  std::vector<uint8_t> a, b;
  for (uint64_t at = 0; at < used; at += kChunk) {
    const size_t n = size_t(std::min(kChunk, used - at));
    a.resize(n);
    b.resize(n);
    if (v.read_at(copy0 + at, a) != n) return false;
    for (int copy = 1; copy < g.fatCount; ++copy) {
      if (v.read_at(copy0 + uint64_t(copy) * fatBytes + at, b) != n || a != b) return false;
    }
  }
  return true;
}

// Whether the chain ends at cluster c (end-of-chain mark in the first FAT).
bool EndsAt(platform::RawVolume& v, const card::VolumeGeometry& g, uint32_t c) {
  uint8_t e[4] = {};
  const uint64_t at = uint64_t(g.fatSector) * base::kSectorSize + uint64_t(c) * 4;
  return v.read_at(at, e) == 4 && (base::load_le32(e) & 0x0FFFFFFF) >= 0x0FFFFFF8;
}

}  // namespace

MarkingCheck CheckMarkedVolume(const std::shared_ptr<platform::RawVolume>& v,
                               const MarkingLayout& layout) {
  const card::VolumeGeometry g = card::RecogniseVolumeOn(*v);
  if (!g.recognised || !g.isFat32) return Fail("the volume is no longer a FAT32 volume");
  card::Fat32Reader reader(v, g);
  const std::vector<card::DirEntry> files = reader.ListRoot();
  const size_t expected = size_t(layout.fileCount) + 2;
  if (files.size() != expected)
    return Fail("the root holds " + std::to_string(files.size()) + " files, expected " +
                std::to_string(expected));
  uint64_t nextOffset = 0;
  uint32_t lastCluster = 2;
  for (size_t k = 0; k < files.size(); ++k) {
    const card::DirEntry& e = files[k];
    const bool info = k < 2;
    const int i = int(k) - 2;
    const std::string want = info ? InfoName83(int(k)) : PartName83(i);
    if (e.name83 != want) return Fail("unexpected file " + e.name83 + " in place of " + want);
    const uint64_t size = info ? e.size : layout.fileBytes(i);
    if (!info && e.size != size) return Fail(want + " has size " + std::to_string(e.size));
    const auto extents = reader.Extents(e.firstCluster, size);
    if (!extents || extents->size() != 1) return Fail(want + " is not one contiguous run");
    if (!info && i > 0 && extents->front().volumeOffset != nextOffset)
      return Fail(want + " does not follow the file before it");
    nextOffset = extents->front().volumeOffset + extents->front().length;
    const uint64_t clusterBytes = uint64_t(g.sectorsPerCluster) * base::kSectorSize;
    const uint32_t fileLast =
        e.firstCluster + uint32_t((size + clusterBytes - 1) / clusterBytes) - 1;
    if (!EndsAt(*v, g, fileLast)) return Fail(want + "'s chain is longer than the file");
    lastCluster = std::max(lastCluster, fileLast);
  }
  // The raw walk sizes the region from the partition files of at least 2 MiB, stopping at
  // the first smaller one; a layout with 1 MiB files is sized only that far.
  uint64_t walkBytes = 0;
  for (int i = 0; i < layout.fileCount && layout.fileBytes(i) >= kWalkMinFileBytes; ++i)
    walkBytes += layout.fileBytes(i);
  const card::CardFileSectors walk = card::LocateCardFiles(*v, g);
  if (!walk.found() || uint64_t(walk.dirRegionSectors) * base::kSectorSize != walkBytes)
    return Fail("the raw directory walk does not find the files of the layout");
  if (!FatCopiesEqual(*v, g, lastCluster)) return Fail("the FAT copies differ");
  return MarkingCheck{true, {}};
}

}  // namespace prepare
