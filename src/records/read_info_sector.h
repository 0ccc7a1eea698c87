// Reads the information sector of one block (region sector block * 256 + 255) through the
// shared region reader and classifies it.
//
// ok: the read succeeded and the sector is acceptable (not a sector with the magic and a
// format_version above 203). hasMagic: the sector carries the magic. Any thread: the region
// reader serialises its callers.
#pragma once

#include <cstdint>

#include "card/region_reader.h"
#include "card/servsectclass.h"

namespace records {

struct InfoSectorRead {
  bool ok = false;
  bool hasMagic = false;
  card::ServiceSector sector;
};

// Reads into `out` (no allocation; the caller keeps one buffer per worker).
void ReadInfoSector(card::RegionReader& reader, uint32_t block, InfoSectorRead& out);
InfoSectorRead ReadInfoSector(card::RegionReader& reader, uint32_t block);

}  // namespace records
