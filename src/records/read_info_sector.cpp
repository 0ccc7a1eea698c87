#include "records/read_info_sector.h"

namespace records {

void ReadInfoSector(card::RegionReader& reader, uint32_t block, InfoSectorRead& out) {
  out.ok = false;
  out.hasMagic = false;
  const uint64_t sector = uint64_t(block) * 256 + 255;
  if (sector > UINT32_MAX) return;  // beyond any region a 32-bit sector index can address
  if (reader.read_sector(uint32_t(sector), out.sector.bytes()) != card::RegionReadResult::ok)
    return;
  const card::InfoSectorClass c = card::IsInformationSector(out.sector);
  out.hasMagic = c.hasMagic;
  out.ok = c.acceptable;
}

InfoSectorRead ReadInfoSector(card::RegionReader& reader, uint32_t block) {
  InfoSectorRead out;
  ReadInfoSector(reader, block, out);
  return out;
}

}  // namespace records
