// Ring arithmetic over the record region's blocks and the block count of a recording.
//
// Blocks are numbered 0 .. n-1 and wrap; a recording runs from its first block to its last
// block in ring order. Pure functions on values: any thread.
#pragma once

#include <cstdint>

#include "records/trecord.h"

namespace records {

// Blocks from `from` forward to `to` in a ring of n blocks: 0 .. n-1 (0 when n is 0).
inline uint32_t RingDistance(uint32_t from, uint32_t to, uint32_t n) {
  if (n == 0) return 0;
  int64_t d = int64_t(to) - int64_t(from);
  if (d < 0) d += n;
  return uint32_t(d);
}

// Block `p` moved forward by k (k <= n) with wrap at n.
inline uint32_t RingAdvance(uint32_t p, uint32_t k, uint32_t n) {
  uint64_t q = uint64_t(p) + k;
  if (n != 0 && q >= n) q -= n;
  return uint32_t(q);
}

// Number of blocks of a recording; a recording that wraps takes the ring size from its last
// block's information sector.
inline int32_t RecordBlockCount(const TRecord& r) {
  int64_t d = int64_t(r.ess_index) - int64_t(r.bss_index);
  if (d < 0) d += int64_t(r.ess.N_sectors_in_rsr() >> 8);
  return int32_t(d + 1);
}

}  // namespace records
