// Test helpers that build qbox streams by hand: boxes in both header forms, and a writer that
// lays bytes into the data sectors of a MemoryRegion the way the recorder does (information
// sectors skipped, ring wrap), plus configuration pairs in information sectors.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "base/endian.h"
#include "convert/qbox.h"
#include "support/memory_region.h"

namespace testsupport {

using Bytes = std::vector<uint8_t>;

struct BoxSpec {
  uint16_t streamType = convert::qbox::kStreamVideo;
  uint32_t sampleFlags = 0;
  Bytes payload;
  bool longHeader = false;    // 32-byte header with an explicit payload length
  uint32_t declaredSize = 0;  // boxSize to write instead of the true size (0: true size)
};

// One box, unpadded (boxSize bytes).
inline Bytes MakeBox(const BoxSpec& s) {
  const uint32_t header = s.longHeader ? 32 : 24;
  Bytes b(header + s.payload.size(), 0);
  const uint32_t size = s.declaredSize ? s.declaredSize : uint32_t(b.size());
  base::store_be32(&b[0], size);
  std::memcpy(&b[4], "qbox", 4);
  base::store_be24(&b[9], s.longHeader ? 0 : 1);
  base::store_be16(&b[12], s.streamType);
  base::store_be32(&b[16], s.sampleFlags);
  if (s.longHeader) base::store_be32(&b[28], uint32_t(s.payload.size()));
  if (!s.payload.empty()) std::memcpy(b.data() + header, s.payload.data(), s.payload.size());
  return b;
}

// A video payload: each unit preceded by its u32 big-endian length.
inline Bytes NalPayload(const std::vector<Bytes>& units) {
  Bytes p;
  for (const Bytes& u : units) {
    uint8_t len[4];
    base::store_be32(len, uint32_t(u.size()));
    p.insert(p.end(), len, len + 4);
    p.insert(p.end(), u.begin(), u.end());
  }
  return p;
}

// An audio payload with the 16-byte sample-info prefix (rate, channels) before the frame.
inline Bytes AudioPayload(uint32_t rate, uint32_t channels, const Bytes& frame) {
  Bytes p(16, 0);
  base::store_be32(&p[0], rate);
  base::store_be32(&p[8], channels);
  p.insert(p.end(), frame.begin(), frame.end());
  return p;
}

inline Bytes Filler(size_t n, uint8_t seed) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = uint8_t(seed + i * 7);  // never spells "qbox"
  return b;
}

// Writes stream bytes into data sectors from a start sector, skipping information sectors
// and wrapping at the region end.
class StreamLayout {
 public:
  StreamLayout(MemoryRegion& region, uint32_t sector, uint32_t offset = 0)
      : region_(region), sector_(sector), offset_(offset) {
    SkipInfo();
  }

  uint32_t sector() const { return sector_; }
  uint32_t offset() const { return offset_; }

  void Append(const Bytes& bytes) {
    for (uint8_t byte : bytes) {
      region_.sector(sector_)[offset_] = byte;
      if (++offset_ == 512) {
        offset_ = 0;
        sector_ = (sector_ + 1) % region_.geometry().N_sectors_in_rsr;
        SkipInfo();
      }
    }
  }
  // Appends a box padded to a multiple of 4, as the recorder lays them.
  void AppendBox(const Bytes& box) {
    Bytes padded = box;
    padded.resize((box.size() + 3) & ~size_t(3), 0);
    Append(padded);
  }

 private:
  void SkipInfo() {
    if ((sector_ & 0xFF) == 0xFF) sector_ = (sector_ + 1) % region_.geometry().N_sectors_in_rsr;
  }
  MemoryRegion& region_;
  uint32_t sector_;
  uint32_t offset_;
};

// Puts a configuration pair (video box, then audio box at the next 4-aligned offset) at
// offset 128 of the information sector of `block`.
inline void PutConfiguration(MemoryRegion& region, uint32_t block, const Bytes& video,
                             const Bytes& audio) {
  uint8_t* info = region.sector(block * 256 + 255);
  if (!video.empty()) std::memcpy(info + 128, video.data(), video.size());
  const size_t second = 128 + ((video.size() + 3) & ~size_t(3));
  if (!audio.empty()) std::memcpy(info + second, audio.data(), audio.size());
}

inline Bytes VideoConfigBox(const Bytes& sps, const Bytes& pps) {
  return MakeBox({convert::qbox::kStreamVideo, convert::qbox::kSampleConfig, NalPayload({sps, pps})});
}

inline Bytes AudioConfigBox(uint32_t rate, uint32_t channels) {
  return MakeBox({convert::qbox::kStreamAudio,
                  convert::qbox::kSampleConfig | convert::qbox::kSampleInfo,
                  AudioPayload(rate, channels, {0x12, 0x10})});
}

}  // namespace testsupport
