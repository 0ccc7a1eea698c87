// The one-line progress display of long CLI operations on a terminal: percent, throughput and
// the time left, redrawn in place with a carriage return. Formatting only; the caller decides
// whether stderr is a terminal. Any thread.
#pragma once

#include <cstdint>
#include <string>

namespace cli {

// `fraction` of the whole work done (0..1), `bytes` processed so far in `seconds`.
// Example: "record 2/5  37%  48.2 MB/s  ETA 1:05".
std::string ProgressLine(const std::string& label, double fraction, uint64_t bytes,
                         double seconds);

}  // namespace cli
