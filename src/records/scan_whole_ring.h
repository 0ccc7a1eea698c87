// Runs the record scan to its end on the calling thread's behalf: starts a RecListLoadTh,
// waits until it has finished or failed, ends it and returns what it listed. For batch
// callers (the CLI, benchmarks) that have no window to poll from. Any thread.
#pragma once

#include <vector>

#include "card/card_medium.h"
#include "card/region_reader.h"
#include "records/reclistloadth.h"
#include "records/trecord.h"

namespace records {

struct WholeRingScan {
  std::vector<TRecord> records;  // in ring order
  bool failed = false;           // the scan stopped on an unreadable or malformed block
  bool ringInvalid = false;      // failed at once: the ring pointers lie outside the ring
                                 // (a zeroed or damaged service sector)
  uint32_t blocksLeft = 0;       // after a failure: blocks of the ring never examined
};

WholeRingScan ScanWholeRing(card::RegionReader& reader, ScanRing ring,
                            ScanMode mode = ScanMode::probing);

// The recordings of an open card as the record list lists them (probing scan): none when the
// card has no region reader or its ring is unset or empty.
std::vector<TRecord> ListCardRecords(card::CardMedium& medium);

}  // namespace records
