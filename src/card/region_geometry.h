// Geometry of the record region: the partition files taken in order as one ring of sectors.
#pragma once

#include <cstdint>

namespace card {

struct RegionGeometry {
  uint32_t N_rsf = 0;                      // number of partition files
  uint32_t N_sectors_in_standard_rsf = 0;  // sectors of every partition file but the last
  uint32_t N_sectors_in_the_last_rsf = 0;  // sectors of the last partition file
  uint32_t N_sectors_in_rsr = 0;           // sectors of the whole region

  // Sectors held by partition file k (the last one may be shorter).
  uint32_t file_sectors(uint32_t k) const {
    return k + 1 == N_rsf ? N_sectors_in_the_last_rsf : N_sectors_in_standard_rsf;
  }
};

}  // namespace card
