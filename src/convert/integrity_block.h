// The integrity block the conversion worker builds for each written .mp4 and hands to the
// post-processor, which stores it encoded inside the file (see mp4_postprocess.h).
// Little-endian fields, 582 + path length bytes. Safe from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "card/servsectclass.h"

namespace convert {

struct IntegrityBlockInput {
  const card::ServiceSector* bss = nullptr;  // record's first information sector
  const card::ServiceSector* ess = nullptr;  // record's last information sector
  int32_t firstBlock = 0;
  int32_t lastBlock = 0;
  int32_t partStart = 0;
  int32_t endSector = 0;
  std::string mp4Path;  // the written file; its modification time goes into the block
};

std::vector<uint8_t> BuildIntegrityBlock(const IntegrityBlockInput& in);

}  // namespace convert
