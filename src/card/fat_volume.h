// FAT volume recognition from the boot sector and the first FAT sector: the geometry values
// every other card unit works with, the FAT type and the "freshly formatted, empty" flag.
// Pure functions over sector bytes; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/sector.h"
#include "platform/raw_volume.h"

namespace card {

struct VolumeGeometry {
  bool recognised = false;  // 512 bytes per sector, a non-zero cluster size, not exFAT/NTFS
  int bytesPerSector = 0, sectorsPerCluster = 0, reservedSectors = 0, fatCount = 0;
  int rootEntries = 0;
  bool isFat32 = false;  // rootEntries == 0
  bool isFat12 = false;  // clusterCount < 4085
  uint32_t volumeSectors = 0;
  uint32_t sectorsPerFat = 0;
  int rootDirSectors = 0;
  int clusterCount = 0;  // signed: a damaged boot sector may give a negative count
  uint32_t rootDirSector = 0;    // reservedSectors + fatCount * sectorsPerFat
  uint32_t fatSector = 0;        // reservedSectors
  uint32_t firstDataSector = 0;  // rootDirSector + rootDirSectors
  uint32_t clusterBase = 0;      // sector of cluster c = clusterBase + c * sectorsPerCluster
  uint32_t rootCluster = 2;      // FAT32 boot sector field (our own reader follows it)
  bool empty = false;            // the first FAT sector shows a freshly formatted volume

  bool isFat16() const { return recognised && !isFat32 && !isFat12; }
  uint64_t volumeBytes() const { return uint64_t(volumeSectors) * base::kSectorSize; }
};

// Geometry from the boot sector alone (`empty` stays false).
VolumeGeometry ParseBootSector(const base::Sector& boot);

// Whether first FAT sector `fat` shows an empty volume of g's FAT type.
bool IsEmptyFat(const VolumeGeometry& g, const base::Sector& fat);

// Both steps: geometry and the empty flag.
VolumeGeometry RecogniseVolume(const base::Sector& boot, const base::Sector& fat);

// Reads sector 0 and the first FAT sector of `v` and recognises it; not recognised when a
// read fails; not empty when the FAT sector cannot be read.
VolumeGeometry RecogniseVolumeOn(platform::RawVolume& v);

// Opens `path` (image file or device) read-only and recognises the volume there, as the drive
// list does for every removable volume; nullopt when it cannot be opened.
std::optional<VolumeGeometry> RecogniseVolumeAt(const std::string& path);

}  // namespace card
