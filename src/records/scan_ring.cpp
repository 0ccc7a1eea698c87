#include "records/scan_ring.h"

#include "card/card_medium.h"
#include "records/block_ring.h"

namespace records {

bool RingIsFull(const card::ServiceSector& ss) {
  const uint32_t bgn = ss.rec_bgn_sectnum() - ss.rsr_sectnum();
  const uint32_t end = ss.rec_end_sectnum() - ss.rsr_sectnum();
  return (bgn >> 8) == (end >> 8) && end < bgn;
}

ScanRing ScanRingOf(const card::CardMedium& medium) {
  return ScanRing{medium.N_s_s, medium.s_s_bgn, medium.s_s_end, RingIsFull(medium.serviceSector)};
}

uint32_t RingBlocksToScan(const ScanRing& ring) {
  if (ring.full) return ring.N_s_s;
  return BlockRing{ring.N_s_s}.distance(ring.s_s_bgn, ring.s_s_end);
}

}  // namespace records
