// The master boot record of a card: its four primary partition entries and the rule that
// finds where the card volume starts. Pure functions over sector bytes; any thread.
#pragma once

#include <array>
#include <cstdint>

#include "base/sector.h"
#include "platform/notice_sink.h"

namespace card {

struct MbrEntry {
  uint8_t type = 0;
  uint32_t firstSector = 0;  // LBA
  uint32_t sectorCount = 0;
};

// EB ?? 90 at the start: a volume boot sector, no partition table.
bool IsVolumeBootSector(const base::Sector& s);
bool HasMbrSignature(const base::Sector& s);  // 0xAA55 at 0x1FE

std::array<MbrEntry, 4> ReadPartitionTable(const base::Sector& s);

// Whether `type` is one of the FAT partition types (12, 16, 32, CHS or LBA).
bool IsFatPartitionType(uint8_t type);

// 1-based number of the first FAT partition with a non-zero start; 0 when none.
int FirstFatPartition(const base::Sector& s);

// The partition of a disk whose sector 0 is `s` that holds the card volume: `requested`
// (1-based) when non-zero, else the first FAT partition; 0 when `s` is a volume boot sector,
// lacks the MBR signature, or the partition is outside 1..4 or starts at sector 0. Whole-disk
// image files and whole-disk devices both go by this rule.
int ChosenPartition(const base::Sector& s, int requested);

// Where the volume of partition `partition` (1-based) starts on a disk whose sector 0 is `s`
// (`readOk`: 512 bytes arrived). Raises "ERROR OPENING MEDIA: BIOS SIGNATURE NOT FOUND IN MBR"
// when the signature is missing and goes on regardless. A volume boot sector gives 0. A
// partition number outside 1..4 (a whole-disk device, a logical partition) cannot index the
// table: the result is 0 and "ERROR OPENING MEDIA: CANNOT GET DEVICE NUMBER" is raised.
uint32_t PartitionStartFromMbr(const base::Sector& s, bool readOk, int partition,
                               platform::NoticeSink& notices);

}  // namespace card
