// One recording found by the record scan: its first and last block and copies of their
// information sectors. Never changed after it is listed; copy freely.
#pragma once

#include <cstdint>

#include "card/servsectclass.h"

namespace records {

struct TRecord {
  int32_t bss_index = 0;   // block number of the first block
  card::ServiceSector bss;  // its information sector
  int32_t ess_index = 0;   // block number of the last block
  card::ServiceSector ess;  // its information sector
};

}  // namespace records
