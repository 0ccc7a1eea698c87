// Writes "qbox" stream boxes as the recorder lays them out (all fields big-endian):
//
//   +0 boxSize (header included)   +4 "qbox"   +8 boxVersion   +9 boxFlags (u24, bit 0: 24-byte
//   header)   +12 streamType (2 video, 1 audio)   +14 streamId   +16 sampleFlags (bit 0 config,
//   bit 2 key frame, bit 6 16-byte sample-info prefix)   +20 sampleTime
//   32-byte form only: +24 reserved   +28 payloadLength
//
// A box occupies its size rounded up to a multiple of 4; the padding is zero. The 24-byte
// box with no payload (streamType video) ends a recording's stream. Pure functions; any thread.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "cardsim/media_set.h"

namespace cardsim {

inline constexpr uint16_t kStreamAudio = 1;
inline constexpr uint16_t kStreamVideo = 2;
inline constexpr uint32_t kSampleConfig = 0x01;
inline constexpr uint32_t kSampleKey = 0x04;
inline constexpr uint32_t kSamplePrefix = 0x40;
inline constexpr size_t kShortHeader = 24;
inline constexpr size_t kLongHeader = 32;
inline constexpr size_t kPrefixSize = 16;
inline constexpr size_t kEndBoxSize = 24;
inline constexpr size_t kConfigPairSize = 128;

struct BoxSpec {
  uint16_t stream_type = kStreamVideo;
  uint32_t sample_flags = 0;
  uint32_t sample_time = 0;
  bool long_header = false;             // 32-byte header form
  std::span<const uint8_t> prefix;      // empty or 16 bytes (then kSamplePrefix is set)
  std::span<const uint8_t> payload;
};

inline size_t RoundUp4(size_t n) { return (n + 3) & ~size_t(3); }
// boxSize as written in the header.
size_t BoxSize(const BoxSpec& box);
// Writes the box and its zero padding: RoundUp4(BoxSize(box)) bytes at `out`.
void WriteBox(const BoxSpec& box, uint8_t* out);
// The 24-byte end-of-stream box.
std::array<uint8_t, kEndBoxSize> EndBox();

// The audio sample-info prefix: sample rate at +0, bits per sample at +4, channels at +8.
std::array<uint8_t, kPrefixSize> AudioPrefix(int sample_rate, int channels);

// The configuration pair for an information sector's offset 128: the video configuration box
// (SPS and PPS, length-prefixed) and, at the next 4-aligned offset, the audio configuration box
// (prefix and AudioSpecificConfig). false when the pair does not fit in 128 bytes.
bool BuildConfigPair(const MediaSet& media, std::array<uint8_t, kConfigPairSize>& out,
                     std::string& error);

}  // namespace cardsim
