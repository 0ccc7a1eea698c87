#include "card/volume_kind.h"

#include <algorithm>
#include <cstring>

#include "card/fat_volume.h"

namespace card {

namespace {

bool OemNameIs(const base::Sector& boot, const char* name) {
  return std::memcmp(boot.data() + 3, name, 8) == 0;
}

}  // namespace

bool IsForeignBootSector(const base::Sector& boot) {
  return OemNameIs(boot, "EXFAT   ") || OemNameIs(boot, "NTFS    ");
}

VolumeKind IdentifyVolume(const base::Sector& boot, bool readOk) {
  if (!readOk) return VolumeKind::unknown;
  if (OemNameIs(boot, "EXFAT   ")) return VolumeKind::exfat;
  if (OemNameIs(boot, "NTFS    ")) return VolumeKind::ntfs;
  if (std::all_of(boot.begin(), boot.end(), [](uint8_t b) { return b == 0; }))
    return VolumeKind::none;
  const VolumeGeometry g = ParseBootSector(boot);
  if (!g.recognised) return VolumeKind::unknown;
  if (g.isFat32) return VolumeKind::fat32;
  return g.isFat12 ? VolumeKind::fat12 : VolumeKind::fat16;
}

const char* VolumeKindName(VolumeKind kind) {
  switch (kind) {
    case VolumeKind::fat12: return "FAT12";
    case VolumeKind::fat16: return "FAT16";
    case VolumeKind::fat32: return "FAT32";
    case VolumeKind::exfat: return "exFAT";
    case VolumeKind::ntfs: return "NTFS";
    case VolumeKind::unknown:
    case VolumeKind::none: break;
  }
  return "";
}

}  // namespace card
