#include "card/sector_file.h"

#include <algorithm>
#include <cstring>

namespace card {

size_t ReadAheadFile::read(uint64_t offset, std::span<uint8_t> out) {
  const bool sequential = offset == nextSequential_;
  size_t done = 0;
  while (done < out.size()) {
    const uint64_t at = offset + done;
    if (at >= windowStart_ && at < windowStart_ + windowLength_) {
      const size_t from = size_t(at - windowStart_);
      const size_t n = std::min(out.size() - done, windowLength_ - from);
      std::memcpy(out.data() + done, window_.data() + from, n);
      done += n;
      continue;
    }
    size_t n;
    if (sequential) {
      if (window_.empty()) window_.resize(kWindow);
      windowLength_ = 0;
      n = fetch(at, window_);
      windowStart_ = at;
      windowLength_ = n;
    } else {
      n = fetch(at, out.subspan(done));
      done += n;
    }
    if (n == 0) break;
  }
  nextSequential_ = offset + done;
  return done;
}

}  // namespace card
