#include "convert/sample_crc.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "base/crc32.h"
#include "base/endian.h"
#include "convert/integrity_constants.h"

namespace convert {
namespace {

constexpr size_t kTableBufferEntries = 8192;

// Reads consecutive fixed-width big-endian entries of a table through a small buffer.
class EntryReader {
 public:
  EntryReader(const Mp4File& file, uint64_t pos, uint32_t count, size_t width)
      : file_(file), pos_(pos), left_(count), width_(width) {}

  bool next(uint64_t& value) {
    if (at_ == filled_) {
      const size_t entries = std::min<uint64_t>(left_, kTableBufferEntries);
      buffer_.resize(entries * width_);
      if (entries == 0 || !file_.readExact(pos_, buffer_.data(), buffer_.size())) return false;
      pos_ += buffer_.size();
      left_ -= uint32_t(entries);
      filled_ = buffer_.size();
      at_ = 0;
    }
    const uint8_t* p = buffer_.data() + at_;
    value = width_ == 8 ? base::load_be64(p) : base::load_be32(p);
    at_ += width_;
    return true;
  }

 private:
  const Mp4File& file_;
  uint64_t pos_;
  uint32_t left_;
  size_t width_;
  std::vector<uint8_t> buffer_;
  size_t filled_ = 0, at_ = 0;
};

// One track's samples in table order: the next sample's offset and size.
class SampleCursor {
 public:
  SampleCursor(const Mp4File& file, const SampleTable& t, std::span<uint8_t> out)
      : table_(t),
        count_(std::min<uint64_t>(t.count(), out.size() / 4)),
        sizes_(file, t.sizesPos, t.constantSize ? 0 : uint32_t(count_), 4),
        offsets_(file, t.offsetsPos, uint32_t(count_), t.offsets64 ? 8 : 4),
        out_(out) {}

  bool done() const { return index_ >= count_; }
  // Loads offset and size of the current sample.
  bool load() {
    uint64_t size = table_.constantSize;
    if (!offsets_.next(offset) || (!table_.constantSize && !sizes_.next(size))) return false;
    this->size = size;
    return true;
  }
  void store(uint32_t crc) { base::store_le32(out_.data() + 4 * index_++, crc); }

  uint64_t offset = 0, size = 0;

 private:
  const SampleTable& table_;
  uint64_t count_;
  EntryReader sizes_, offsets_;
  std::span<uint8_t> out_;
  uint64_t index_ = 0;
};

// A read window over the file: serves byte ranges, refilling 1 MiB at the requested offset.
class Window {
 public:
  Window(const Mp4File& file, uint64_t dataEnd)
      : file_(file),
        fileSize_(std::min(file.size(), dataEnd)),
        bytes_(std::make_unique_for_overwrite<uint8_t[]>(kSampleWindowBytes)) {}

  uint32_t crc(uint64_t offset, uint64_t size) {
    uint32_t reg = integrity::kSampleSeed;  // the CRC register, continued piece by piece
    while (size > 0) {
      if (offset < start_ || offset >= start_ + filled_) {
        if (offset >= fileSize_ || !refill(offset)) break;
      }
      const uint64_t n = std::min(size, start_ + filled_ - offset);
      reg = ~base::crc32_seeded(bytes_.get() + (offset - start_), size_t(n), reg);
      offset += n;
      size -= n;
    }
    return ~reg;
  }

 private:
  bool refill(uint64_t offset) {
    start_ = offset;
    filled_ = file_.readAt(offset, bytes_.get(),
                           size_t(std::min<uint64_t>(kSampleWindowBytes, fileSize_ - offset)));
    return filled_ > 0;
  }

  const Mp4File& file_;
  uint64_t fileSize_;
  std::unique_ptr<uint8_t[]> bytes_;  // the 1 MiB sample buffer
  uint64_t start_ = 0, filled_ = 0;
};

}  // namespace

bool ComputeSampleCrcs(const Mp4File& file, uint64_t dataEnd, const SampleTable& video,
                       const SampleTable& audio, std::span<uint8_t> videoCrcs,
                       std::span<uint8_t> audioCrcs) {
  SampleCursor tracks[2] = {{file, video, videoCrcs}, {file, audio, audioCrcs}};
  bool loaded[2] = {false, false};
  Window window(file, dataEnd);
  for (;;) {
    for (int t = 0; t < 2; ++t)
      if (!loaded[t] && !tracks[t].done()) {
        if (!tracks[t].load()) return false;
        loaded[t] = true;
      }
    // Take whichever pending sample comes first in the file.
    int pick = -1;
    for (int t = 0; t < 2; ++t)
      if (loaded[t] && (pick < 0 || tracks[t].offset < tracks[pick].offset)) pick = t;
    if (pick < 0) return true;
    tracks[pick].store(window.crc(tracks[pick].offset, tracks[pick].size));
    loaded[pick] = false;
  }
}

}  // namespace convert
