#include "card/mbr.h"

#include "base/endian.h"

namespace card {

bool IsVolumeBootSector(const base::Sector& s) { return s[0] == 0xEB && s[2] == 0x90; }

bool HasMbrSignature(const base::Sector& s) { return base::load_le16(&s[0x1FE]) == 0xAA55; }

std::array<MbrEntry, 4> ReadPartitionTable(const base::Sector& s) {
  std::array<MbrEntry, 4> table;
  for (size_t i = 0; i < 4; ++i) {
    const uint8_t* e = &s[0x1BE + 16 * i];
    table[i] = MbrEntry{e[4], base::load_le32(e + 8), base::load_le32(e + 12)};
  }
  return table;
}

bool IsFatPartitionType(uint8_t type) {
  switch (type) {
    case 0x01: case 0x04: case 0x06: case 0x0B: case 0x0C: case 0x0E:
      return true;
    default:
      return false;
  }
}

int FirstFatPartition(const base::Sector& s) {
  const auto table = ReadPartitionTable(s);
  for (size_t i = 0; i < table.size(); ++i)
    if (IsFatPartitionType(table[i].type) && table[i].firstSector != 0) return int(i) + 1;
  return 0;
}

int ChosenPartition(const base::Sector& s, int requested) {
  if (IsVolumeBootSector(s) || !HasMbrSignature(s)) return 0;
  const int partition = requested ? requested : FirstFatPartition(s);
  if (partition < 1 || partition > 4) return 0;
  return ReadPartitionTable(s)[size_t(partition - 1)].firstSector != 0 ? partition : 0;
}

uint32_t PartitionStartFromMbr(const base::Sector& s, bool readOk, int partition,
                               platform::NoticeSink& notices) {
  if (readOk && !HasMbrSignature(s))
    notices.notice(platform::NoticeKind::plain,
                   "ERROR OPENING MEDIA: BIOS SIGNATURE NOT FOUND IN MBR");
  if (IsVolumeBootSector(s)) return 0;
  if (partition < 1 || partition > 4) {
    notices.notice(platform::NoticeKind::plain, "ERROR OPENING MEDIA: CANNOT GET DEVICE NUMBER");
    return 0;
  }
  return base::load_le32(&s[0x1BE + 16 * size_t(partition - 1) + 8]);
}

}  // namespace card
