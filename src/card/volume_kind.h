// What a volume's first sector shows: one of the FAT types, a file system a card cannot be
// used with (exFAT, NTFS), no file system at all (a blank first sector), or something else.
// Lets the card state tell the user what a card that cannot be opened holds, e.g. the exFAT
// of a new card over 32 GB. Pure functions over sector bytes; any thread.
#pragma once

#include "base/sector.h"

namespace card {

enum class VolumeKind { unknown, none, fat12, fat16, fat32, exfat, ntfs };

// True when `boot` carries the OEM name of exFAT or NTFS at offset 3 ("EXFAT   ",
// "NTFS    "). Such a boot sector may pass the FAT field checks by chance (NTFS keeps 512 at
// 0x0B and a cluster size at 0x0D) and must not be read as FAT.
bool IsForeignBootSector(const base::Sector& boot);

// The kind of the volume whose sector 0 is `boot`; `readOk` false gives unknown.
VolumeKind IdentifyVolume(const base::Sector& boot, bool readOk);

// "FAT12", "FAT16", "FAT32", "exFAT", "NTFS"; empty for unknown and none.
const char* VolumeKindName(VolumeKind kind);

}  // namespace card
