#include "cli/progress_line.h"

#include <algorithm>
#include <cstdio>

namespace cli {

std::string ProgressLine(const std::string& label, double fraction, uint64_t bytes,
                         double seconds) {
  fraction = std::clamp(fraction, 0.0, 1.0);
  const double mbps = seconds > 0 ? double(bytes) / 1e6 / seconds : 0.0;
  char eta[32] = "--:--";
  if (fraction > 0.001 && seconds > 0) {
    const long left = long(seconds * (1.0 - fraction) / fraction + 0.5);
    std::snprintf(eta, sizeof eta, "%ld:%02ld", left / 60, left % 60);
  }
  char line[160];
  std::snprintf(line, sizeof line, "%s  %3d%%  %.1f MB/s  ETA %s", label.c_str(),
                int(fraction * 100.0), mbps, eta);
  return line;
}

}  // namespace cli
