// The "qbox" stream box the recorder writes: big-endian header, H.264 or AAC payload.
//
// Header: u32 boxSize, "qbox", u8 version, u24 boxFlags (bit 0: 24-byte header, else 32-byte
// header whose u32 at 28 is the payload length), u16 streamType (bit 1 video, bit 0 audio),
// u16 streamId, u32 sampleFlags, u32 sampleTime. Boxes lie back to back, each padded to a
// multiple of 4. Pure functions over caller-owned bytes; every accessor is bounded by the span
// it gets, so nothing here reads past the box. Safe from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "base/endian.h"

namespace convert::qbox {

inline constexpr uint32_t kMagic = 0x71626F78;  // "qbox" read as a big-endian word
inline constexpr uint32_t kHeaderSize = 24;
inline constexpr uint32_t kLongHeaderSize = 32;
inline constexpr uint32_t kMinSize = 24;
inline constexpr uint32_t kMaxSize = 1048576;

inline constexpr uint16_t kStreamAudio = 0x01;
inline constexpr uint16_t kStreamVideo = 0x02;

inline constexpr uint32_t kSampleConfig = 0x01;
inline constexpr uint32_t kSampleKeyFrame = 0x04;
inline constexpr uint32_t kSampleInfo = 0x40;
inline constexpr uint32_t kSampleInfoSize = 16;

inline bool ValidSize(uint32_t boxSize) { return boxSize >= kMinSize && boxSize <= kMaxSize; }
inline uint32_t RoundedSize(uint32_t boxSize) { return (boxSize + 3) & ~uint32_t(3); }

// Field accessors; `h` points at a header of at least 24 bytes.
inline uint32_t BoxSize(const uint8_t* h) { return base::load_be32(h); }
inline uint32_t Magic(const uint8_t* h) { return base::load_be32(h + 4); }
inline uint32_t BoxFlags(const uint8_t* h) { return base::load_be24(h + 9); }
inline uint16_t StreamType(const uint8_t* h) { return base::load_be16(h + 12); }
inline uint32_t SampleFlags(const uint8_t* h) { return base::load_be32(h + 16); }
inline void SetSampleFlags(uint8_t* h, uint32_t v) { base::store_be32(h + 16, v); }

// The payload of a box, split into the optional 16-byte sample-info prefix and the data.
struct Payload {
  const uint8_t* prefix = nullptr;  // 16 bytes when sampleFlags bit 6 is set, else null
  std::span<const uint8_t> data;
};

// Locates the payload inside `box` (header included). The payload never extends past
// boxSize nor past the span: a 32-byte-header box whose payloadLength claims more than the
// box holds is cut at the box end; a prefix flag on a payload under 16 bytes gives no prefix
// and no data.
inline Payload SplitPayload(std::span<const uint8_t> box) {
  Payload p;
  if (box.size() < kHeaderSize) return p;
  const uint8_t* h = box.data();
  const size_t size = BoxSize(h) < box.size() ? BoxSize(h) : box.size();
  size_t start = kHeaderSize;
  size_t length = 0;
  if (BoxFlags(h) & 1) {
    length = size > kHeaderSize ? size - kHeaderSize : 0;
  } else {
    if (size < kLongHeaderSize) return p;
    start = kLongHeaderSize;
    const size_t claimed = base::load_be32(h + 28);
    length = claimed < size - start ? claimed : size - start;
  }
  if (SampleFlags(h) & kSampleInfo) {
    if (length < kSampleInfoSize) return p;
    p.prefix = h + start;
    start += kSampleInfoSize;
    length -= kSampleInfoSize;
  }
  p.data = box.subspan(start, length);
  return p;
}

// Calls f(unit) for every H.264 NAL unit of a video payload: each unit is preceded by its
// u32 big-endian length. A length that is 0, negative as a signed value, or larger than what
// follows ends the walk, as does a remainder of 4 bytes or less. Returns the number of units.
template <typename F>
size_t ForEachNal(std::span<const uint8_t> data, F&& f) {
  size_t units = 0;
  size_t pos = 0;
  while (data.size() - pos > 4) {
    const int32_t length = int32_t(base::load_be32(data.data() + pos));
    if (length <= 0 || size_t(length) > data.size() - pos - 4) break;
    f(data.subspan(pos + 4, size_t(length)));
    pos += 4 + size_t(length);
    ++units;
  }
  return units;
}

}  // namespace convert::qbox
