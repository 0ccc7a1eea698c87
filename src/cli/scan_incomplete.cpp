#include "cli/scan_incomplete.h"

namespace cli {

std::string IncompleteScanLine(const records::WholeRingScan& scan) {
  if (!scan.failed) return "";
  if (scan.ringInvalid)
    return "the service sector holds no valid ring pointers (zeroed or damaged): no recording "
           "could be listed, every recording on the card may be missing";
  // Each recording takes at least one block, so the blocks never examined bound what is lost.
  return "the scan stopped at a block that could not be read or was malformed after " +
         std::to_string(scan.records.size()) + " recordings; up to " +
         std::to_string(scan.blocksLeft) +
         " more recording(s) may be missing (at most one per unscanned block)";
}

}  // namespace cli
