// The part of the block ring a record scan walks: the ring size, the ring start block (never
// examined itself) and the ring end block, from the card service sector's pointers; and the
// test for a full ring that has wrapped. Plain values; any thread.
#pragma once

#include <cstdint>

#include "card/servsectclass.h"

namespace card {
class CardMedium;
}

namespace records {

struct ScanRing {
  uint32_t N_s_s = 0;    // blocks in the record region
  uint32_t s_s_bgn = 0;  // ring start block (never examined itself)
  uint32_t s_s_end = 0;  // ring end block (the last block that may hold a recording)
  // The ring is full and has wrapped: both pointers lie in one block, the end pointer behind
  // the begin pointer. The scan then goes once round the whole ring instead of taking the
  // equal blocks for an empty ring.
  bool full = false;
};

// Whether the pointers of `ss` describe a full, wrapped ring (see ScanRing::full). Equal
// pointers mean an empty ring; an end pointer ahead of the begin pointer in the same block
// holds less than a block, which no scan examines.
bool RingIsFull(const card::ServiceSector& ss);

// The ring of an open card (its derived ring values and the full-ring test).
ScanRing ScanRingOf(const card::CardMedium& medium);

// Blocks the scan walks: distance(s_s_bgn, s_s_end), or the whole ring when it is full.
uint32_t RingBlocksToScan(const ScanRing& ring);

}  // namespace records
