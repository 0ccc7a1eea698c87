// Clearing, erasing and recovering recordings: each only moves the ring pointers of the card
// service sector (and recovery, on a card never used or erased, also sets the region start
// and size). No data sector is touched, so the recordings stay physically on the card and a
// recovery can bring them back into the record scan.
//
// Pure functions over the service sector and the region's place on the card; the caller
// stores the sector (ApplyToCardServiceSector). Any thread.
#pragma once

#include <cstdint>

#include "card/servsectclass.h"

namespace prepare {

// Declares the recorded part of the ring empty: begin = end.
void ClearCard(card::ServiceSector& s);

// Both pointers unset (0xFFFFFFFF): no recording, as after marking.
void EraseCard(card::ServiceSector& s);

// Where the record region lies, as the raw directory walk found it.
struct RegionPlace {
  uint32_t partitionStart = 0;    // volume start on the card, in card sectors
  uint32_t hcpt0000Sector = 0;    // first sector of hcpt0000.hcf, in volume sectors
  uint32_t dirRegionSectors = 0;  // region size from the directory walk; 0 when not sized
};

enum class RecoverOutcome {
  ready,          // the pointers were set; store the sector
  ringNotEmpty,   // begin != end: there are recordings, nothing to recover
  regionUnknown,  // the region size is needed but was not found (or is below one block)
  notOnBlock,     // the new end is not a block boundary inside the region
};

// Declares the whole ring but one block recorded again, from the begin pointer on. On a card
// with an unset pointer or geometry the region is taken from `place`. The sector changes only
// when the outcome is `ready`.
RecoverOutcome RecoverRecords(card::ServiceSector& s, const RegionPlace& place);

}  // namespace prepare
