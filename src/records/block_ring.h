// Block arithmetic on the record ring of `n` blocks (n > 0, positions in 0 .. n-1).
//
// advance/retreat move a position by k blocks (k <= n) with one wrap; distance is how far
// `to` lies ahead of `from`, a value in 0 .. n-1. A plain value type, usable from any thread.
#pragma once

#include <cstdint>

namespace records {

struct BlockRing {
  uint32_t n = 0;

  uint32_t advance(uint32_t p, uint32_t k) const {
    const uint64_t sum = uint64_t(p) + k;
    return uint32_t(sum >= n ? sum - n : sum);
  }
  uint32_t retreat(uint32_t p, uint32_t k) const {
    return p >= k ? p - k : uint32_t(uint64_t(p) + n - k);
  }
  uint32_t distance(uint32_t from, uint32_t to) const {
    return to >= from ? to - from : uint32_t(uint64_t(to) + n - from);
  }
};

}  // namespace records
