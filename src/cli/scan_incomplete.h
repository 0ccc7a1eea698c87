// The line that tells why a whole-ring scan listed fewer recordings than the card may hold,
// and how many may be missing. Empty when the scan reached the ring end.
#pragma once

#include <string>

#include "records/scan_whole_ring.h"

namespace cli {

std::string IncompleteScanLine(const records::WholeRingScan& scan);

}  // namespace cli
