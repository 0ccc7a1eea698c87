#include "card/fat_volume.h"

#include "base/endian.h"
#include "card/volume_kind.h"

namespace card {

using base::load_le16;
using base::load_le32;

VolumeGeometry ParseBootSector(const base::Sector& b) {
  VolumeGeometry g;
  const uint8_t* p = b.data();
  g.bytesPerSector = load_le16(p + 0x0B);
  g.sectorsPerCluster = p[0x0D];
  if (g.bytesPerSector != 512 || g.sectorsPerCluster == 0) return g;
  // NTFS keeps FAT-like values at these offsets; neither it nor exFAT is a FAT volume.
  if (IsForeignBootSector(b)) return g;
  g.recognised = true;
  g.reservedSectors = load_le16(p + 0x0E);
  g.fatCount = p[0x10];
  g.rootEntries = load_le16(p + 0x11);
  g.isFat32 = g.rootEntries == 0;
  const uint16_t total16 = load_le16(p + 0x13);
  g.volumeSectors = total16 != 0 ? total16 : load_le32(p + 0x20);
  g.sectorsPerFat = g.isFat32 ? load_le32(p + 0x24) : load_le16(p + 0x16);
  g.rootDirSectors = (g.rootEntries * 32 + 511) / 512;
  const int64_t overhead =
      int64_t(g.fatCount) * g.sectorsPerFat + g.reservedSectors + g.rootDirSectors;
  g.clusterCount = int((int64_t(g.volumeSectors) - overhead) / g.sectorsPerCluster);
  g.isFat12 = g.clusterCount < 4085;
  g.rootDirSector = uint32_t(g.reservedSectors + uint32_t(g.fatCount) * g.sectorsPerFat);
  g.fatSector = uint32_t(g.reservedSectors);
  g.firstDataSector = g.rootDirSector + uint32_t(g.rootDirSectors);
  g.clusterBase = g.firstDataSector - 2u * uint32_t(g.sectorsPerCluster);
  if (g.isFat32) g.rootCluster = load_le32(p + 0x2C);
  return g;
}

bool IsEmptyFat(const VolumeGeometry& g, const base::Sector& fat) {
  if (!g.recognised) return false;
  const uint8_t* p = fat.data();
  if (g.isFat32) {
    // Entry 0 carries the media byte; entries 1 and 2 (the root directory's one cluster)
    // carry an end-of-chain mark. Formatters differ in which mark they write
    // (0x0FFFFFF8 ... 0x0FFFFFFF), so any of them is accepted.
    auto endOfChain = [](uint32_t v) { return (v & 0x0FFFFFFF) >= 0x0FFFFFF8; };
    if ((load_le32(p) & 0x0FFFFFFF) != 0x0FFFFFF8) return false;
    if (!endOfChain(load_le32(p + 4)) || !endOfChain(load_le32(p + 8))) return false;
    for (int i = 3; i < 128; ++i)
      if (load_le32(p + 4 * i) != 0) return false;
    return true;
  }
  if (load_le16(p) != 0xFFF8) return false;
  if (load_le16(p + 2) != (g.isFat12 ? 0x00FF : 0xFFFF)) return false;
  for (int i = 2; i < 256; ++i)
    if (load_le16(p + 2 * i) != 0) return false;
  return true;
}

VolumeGeometry RecogniseVolume(const base::Sector& boot, const base::Sector& fat) {
  VolumeGeometry g = ParseBootSector(boot);
  g.empty = IsEmptyFat(g, fat);
  return g;
}

VolumeGeometry RecogniseVolumeOn(platform::RawVolume& v) {
  base::Sector boot{};
  if (!platform::ReadSectorAt(v, 0, boot)) return VolumeGeometry{};
  VolumeGeometry g = ParseBootSector(boot);
  base::Sector fat{};
  if (g.recognised && platform::ReadSectorAt(v, g.fatSector, fat)) g.empty = IsEmptyFat(g, fat);
  return g;
}

std::optional<VolumeGeometry> RecogniseVolumeAt(const std::string& path) {
  const auto v = platform::OpenFileVolume(path, false, nullptr);
  if (!v) return std::nullopt;
  return RecogniseVolumeOn(*v);
}

}  // namespace card
