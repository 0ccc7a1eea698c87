// Test helper: reads a card image folder back without the product's readers, so
// the simulator is checked against the layout itself: region sectors, information sectors,
// the record stream of a run of blocks, and the qbox boxes in it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/sector.h"
#include "card/servsectclass.h"

namespace testsupport {

struct ParsedBox {
  uint32_t size = 0;
  bool long_header = false;
  uint16_t stream_type = 0;
  uint32_t sample_flags = 0;
  std::vector<uint8_t> prefix;   // 16 bytes when sampleFlags bit 6 is set
  std::vector<uint8_t> payload;  // after the prefix
};

class CardImage {
 public:
  explicit CardImage(std::string folder);
  card::ServiceSector ServiceSector(const char* info_file = "hc00info.hcf") const;
  base::Sector RegionSector(uint32_t s) const;
  card::ServiceSector InfoSector(uint32_t block) const { return card::ServiceSector(RegionSector(block * 256 + 255)); }
  // Data-sector bytes of blocks first..last in ring order (information sectors skipped).
  std::vector<uint8_t> Stream(uint32_t first_block, uint32_t last_block) const;

 private:
  std::string folder_;
  uint32_t per_file_ = 0, n_s_s_ = 0;
};

// Parses boxes from the stream's start up to and including the end box; stops (with ok false)
// at anything that is not a valid box.
std::vector<ParsedBox> ParseBoxes(const std::vector<uint8_t>& stream, bool& ok);

}  // namespace testsupport
