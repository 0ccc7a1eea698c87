// Reads sectors of the record region: the partition files taken in order as one sequence.
//
// The one shared reader per open medium (scan, conversion, preview and diagnostics all read
// through it). Implementations keep one partition file open, reopen only when another file is
// needed, and serialise callers with a mutex, so any thread may call; `reads` counts calls.
#pragma once

#include <cstdint>

#include "base/sector.h"
#include "card/region_geometry.h"

namespace card {

enum class RegionReadResult {
  ok,
  no_file,      // partition file k >= N_rsf, or it cannot be opened
  beyond_file,  // sector position past the file's sector count
  short_read,   // fewer than 512 bytes arrived
};

class RegionReader {
 public:
  virtual ~RegionReader() = default;
  virtual const RegionGeometry& geometry() const = 0;
  // Reads region sector s (0 <= s < N_sectors_in_rsr) into out.
  virtual RegionReadResult read_sector(uint32_t s, base::Sector& out) = 0;
  // Closes the open partition file; the next read reopens it.
  virtual void close() = 0;
  // Number of read_sector calls since construction or the last reset_reads().
  virtual uint64_t reads() const = 0;
  virtual void reset_reads() = 0;
};

}  // namespace card
