#include "cardsim/qbox_writer.h"

#include <cstring>

#include "base/endian.h"

namespace cardsim {

size_t BoxSize(const BoxSpec& box) {
  return (box.long_header ? kLongHeader : kShortHeader) + box.prefix.size() + box.payload.size();
}

void WriteBox(const BoxSpec& box, uint8_t* out) {
  const size_t size = BoxSize(box);
  const size_t header = box.long_header ? kLongHeader : kShortHeader;
  std::memset(out, 0, RoundUp4(size));
  base::store_be32(out, uint32_t(size));
  std::memcpy(out + 4, "qbox", 4);
  out[8] = 1;                                   // boxVersion
  base::store_be24(out + 9, box.long_header ? 0 : 1);
  base::store_be16(out + 12, box.stream_type);
  base::store_be16(out + 14, box.stream_type == kStreamVideo ? 0 : 1);  // streamId
  const uint32_t flags = box.sample_flags | (box.prefix.empty() ? 0 : kSamplePrefix);
  base::store_be32(out + 16, flags);
  base::store_be32(out + 20, box.sample_time);
  if (box.long_header) base::store_be32(out + 28, uint32_t(size - header));
  uint8_t* p = out + header;
  if (!box.prefix.empty()) std::memcpy(p, box.prefix.data(), box.prefix.size());
  p += box.prefix.size();
  if (!box.payload.empty()) std::memcpy(p, box.payload.data(), box.payload.size());
}

std::array<uint8_t, kEndBoxSize> EndBox() {
  std::array<uint8_t, kEndBoxSize> box{};
  WriteBox(BoxSpec{kStreamVideo, 0, 0, false, {}, {}}, box.data());
  return box;
}

std::array<uint8_t, kPrefixSize> AudioPrefix(int sample_rate, int channels) {
  std::array<uint8_t, kPrefixSize> p{};
  base::store_be32(&p[0], uint32_t(sample_rate));
  base::store_be32(&p[4], 16);
  base::store_be32(&p[8], uint32_t(channels));
  return p;
}

bool BuildConfigPair(const MediaSet& media, std::array<uint8_t, kConfigPairSize>& out,
                     std::string& error) {
  out.fill(0);
  std::vector<uint8_t> nals;
  for (const auto* nal : {&media.video.sps, &media.video.pps}) {
    const size_t at = nals.size();
    nals.resize(at + 4 + nal->size());
    base::store_be32(&nals[at], uint32_t(nal->size()));
    std::memcpy(&nals[at + 4], nal->data(), nal->size());
  }
  const BoxSpec video{kStreamVideo, kSampleConfig, 0, false, {}, nals};
  const auto prefix = AudioPrefix(media.params.sample_rate, media.params.channels);
  const BoxSpec audio{kStreamAudio, kSampleConfig, 0, false, prefix, media.audio.asc};
  const size_t video_rounded = RoundUp4(BoxSize(video));
  if (video_rounded + RoundUp4(BoxSize(audio)) > kConfigPairSize) {
    error = "SPS, PPS and AudioSpecificConfig do not fit in the 128-byte configuration pair";
    return false;
  }
  WriteBox(video, out.data());
  WriteBox(audio, out.data() + video_rounded);
  return true;
}

}  // namespace cardsim
