#include "preview/range_name.h"

#include <cstdio>
#include <filesystem>

namespace preview {

std::string FirstFreeRangeName(const std::string& dir, const std::string& stamp) {
  const std::string base = stamp + "_";
  for (int n = 1;; ++n) {
    char number[16];
    std::snprintf(number, sizeof number, "%03d", n);
    std::error_code ec;
    if (!std::filesystem::exists(dir + base + number + ".mp4", ec)) return base + number;
  }
}

}  // namespace preview
