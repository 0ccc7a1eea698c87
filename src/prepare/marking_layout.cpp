#include "prepare/marking_layout.h"

#include <algorithm>

namespace prepare {

uint64_t CeilPow2(int64_t x) {
  uint64_t p = 2;
  while (int64_t(p) < x && p < (uint64_t(1) << 62)) p <<= 1;
  return p;
}

uint64_t FloorPow2(int64_t x) {
  if (x < 2) return 1;
  uint64_t p = 2;
  while (int64_t(p << 1) <= x && p < (uint64_t(1) << 62)) p <<= 1;
  return p;
}

namespace {

void Compute(int64_t total, int n, MarkingLayout& l) {
  l.fileCount = n;
  l.standardFileBytes = std::min<uint64_t>(CeilPow2(total / (n - 1)) / 2, kMaxFileBytes);
  l.lastFileBytes = FloorPow2(total - int64_t(n - 1) * int64_t(l.standardFileBytes));
}

}  // namespace

bool ChooseLayout(uint64_t totalBytes, int fileCount, MarkingLayout& out) {
  const int64_t total = int64_t(std::min<uint64_t>(totalBytes, uint64_t(INT64_MAX)));
  if (fileCount <= 1) return false;
  int n = fileCount;
  Compute(total, n, out);
  while (out.lastFileBytes > out.standardFileBytes && n < kMaxFileCount) Compute(total, ++n, out);
  while (out.lastFileBytes < kMinLastFileBytes || out.lastFileBytes > out.standardFileBytes) {
    if (--n <= 1) {
      out.fileCount = 1;
      out.standardFileBytes = 0;
      out.lastFileBytes = FloorPow2(total);
      return false;
    }
    Compute(total, n, out);
  }
  return true;
}

ShareLayout LayoutForShare(uint64_t cardLength, uint64_t freeBytes, int share) {
  ShareLayout r;
  // Every share from the request up to 100 is tried once, so a card too small for any layout
  // ends the search instead of looping.
  for (int p = std::clamp(share, 1, 100); p <= 100; ++p) {
    const uint64_t wanted = cardLength / 100 * p + cardLength % 100 * p / 100;
    if (ChooseLayout(std::min(wanted, freeBytes), kStartFileCount, r.layout)) {
      r.ok = true;
      r.share = p;
      return r;
    }
  }
  r.share = 100;
  return r;
}

}  // namespace prepare
