#include "convert/adts_parser.h"

#include <cstring>

#include "convert/h264_bit_reader.h"

namespace convert {
namespace {

constexpr uint32_t kSampleRates[13] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                       22050, 16000, 12000, 11025, 8000,  7350};
constexpr size_t kMaxFrame = 8191;  // 13-bit frame length

}  // namespace

std::optional<AdtsHeader> ParseAdtsHeader(std::span<const uint8_t> bytes) {
  if (bytes.size() < 7) return std::nullopt;
  const uint8_t* p = bytes.data();
  if (p[0] != 0xFF || (p[1] & 0xF0) != 0xF0) return std::nullopt;  // syncword
  if ((p[1] & 0x06) != 0) return std::nullopt;                      // layer is always 0
  AdtsHeader header;
  const bool protection_absent = (p[1] & 0x01) != 0;
  header.object_type = uint8_t((p[2] >> 6) + 1);
  header.sampling_index = uint8_t((p[2] >> 2) & 0x0F);
  header.channel_config = uint8_t(((p[2] & 0x01) << 2) | (p[3] >> 6));
  header.frame_length = (uint32_t(p[3] & 0x03) << 11) | (uint32_t(p[4]) << 3) | (p[5] >> 5);
  header.raw_blocks = uint8_t((p[6] & 0x03) + 1);
  header.header_length = protection_absent ? 7 : 9;
  if (header.sampling_index > 12 ||
      header.frame_length <= header.header_length || header.raw_blocks != 1) {
    return std::nullopt;
  }
  return header;
}

uint32_t AdtsSampleRate(uint8_t sampling_index) {
  return sampling_index < 13 ? kSampleRates[sampling_index] : 0;
}

uint8_t ChannelsFromRawBlock(std::span<const uint8_t> payload) {
  H264BitReader bits(payload);  // plain MSB-first fields; AAC has no emulation prevention
  for (int element = 0; element < 16 && !bits.failed(); ++element) {
    switch (bits.Bits(3)) {  // id_syn_ele
      case 0: return bits.failed() ? 0 : 1;  // ID_SCE: mono
      case 1: return bits.failed() ? 0 : 2;  // ID_CPE: stereo
      case 4: {                              // ID_DSE: skipped
        bits.Skip(4);                        // element_instance_tag
        const bool align = bits.Flag();
        uint32_t count = bits.Bits(8);
        if (count == 255) count += bits.Bits(8);
        if (align) {
          const size_t position = payload.size() * 8 - bits.bits_left();
          bits.Skip((8 - position % 8) % 8);
        }
        bits.Skip(size_t(count) * 8);
        break;
      }
      case 6: {                              // ID_FIL: skipped
        uint32_t count = bits.Bits(4);
        if (count == 15) count += bits.Bits(8) - 1;
        bits.Skip(size_t(count) * 8);
        break;
      }
      default:
        return 0;  // a program config element or something unusual: unknown
    }
  }
  return 0;
}

std::array<uint8_t, 2> AudioSpecificConfig(const AdtsHeader& header) {
  // 5 bits object type, 4 bits sampling index, 4 bits channels, 3 bits GASpecificConfig 0.
  const uint16_t bits = uint16_t((header.object_type << 11) | (header.sampling_index << 7) |
                                 (header.channel_config << 3));
  return {uint8_t(bits >> 8), uint8_t(bits)};
}

bool SameAudioFormat(const AdtsHeader& a, const AdtsHeader& b) {
  return a.object_type == b.object_type && a.sampling_index == b.sampling_index &&
         a.channel_config == b.channel_config;
}

bool AdtsReader::Fill(size_t needed) {
  while (end_ - begin_ < needed) {
    if (eof_) return false;
    if (begin_ > 0) {
      std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
      end_ -= begin_;
      begin_ = 0;
    }
    const size_t got = file_.Read(buffer_.data() + end_, buffer_.size() - end_);
    end_ += got;
    if (got == 0) eof_ = true;
  }
  return true;
}

AdtsReader::Result AdtsReader::Next(AdtsHeader* header, std::span<const uint8_t>* payload) {
  Fill(kMaxFrame);
  if (file_.failed()) return Result::kReadError;
  if (begin_ == end_) return Result::kEnd;
  const std::span<const uint8_t> available(buffer_.data() + begin_, end_ - begin_);
  const auto parsed = ParseAdtsHeader(available);
  if (!parsed || parsed->frame_length > available.size()) return Result::kBadFrame;
  *header = *parsed;
  *payload = available.subspan(parsed->header_length, parsed->frame_length - parsed->header_length);
  begin_ += parsed->frame_length;
  return Result::kFrame;
}

}  // namespace convert
