#include "convert/mp4_sample_entries.h"

namespace convert {
namespace {

constexpr uint64_t kVisualEntryFields = 78;
constexpr uint64_t kAudioEntryFields = 28;
constexpr uint64_t kEsdsSize = BoxScope::kFullHeader + 27;

// avcC carries chroma format and bit depths for the high profiles.
bool HasAvcCExtension(uint8_t profile) {
  return profile == 100 || profile == 110 || profile == 122 || profile == 144;
}

uint64_t AvcCSize(const VideoEntry& entry) {
  uint64_t size = BoxScope::kHeader + 7;
  for (const auto& sps : entry.parameter_sets->sps()) size += 2 + sps.size();
  for (const auto& pps : entry.parameter_sets->pps()) size += 2 + pps.size();
  if (HasAvcCExtension(entry.sps.profile_idc)) size += 4;
  return size;
}

void WriteAvcC(BoxBuffer& out, const VideoEntry& entry) {
  BoxScope box(out, "avcC", AvcCSize(entry));
  const auto& sps_list = entry.parameter_sets->sps();
  const auto& pps_list = entry.parameter_sets->pps();
  out.U8(1);  // configurationVersion
  out.U8(entry.sps.profile_idc);
  out.U8(entry.sps.constraint_flags);
  out.U8(entry.sps.level_idc);
  out.U8(0xFC | 3);  // lengthSizeMinusOne: 4-byte NAL lengths
  out.U8(uint8_t(0xE0 | sps_list.size()));
  for (const auto& sps : sps_list) {
    out.U16(uint16_t(sps.size()));
    out.Bytes(sps);
  }
  out.U8(uint8_t(pps_list.size()));
  for (const auto& pps : pps_list) {
    out.U16(uint16_t(pps.size()));
    out.Bytes(pps);
  }
  if (HasAvcCExtension(entry.sps.profile_idc)) {
    out.U8(uint8_t(0xFC | entry.sps.chroma_format_idc));
    out.U8(uint8_t(0xF8 | (entry.sps.bit_depth_luma - 8)));
    out.U8(uint8_t(0xF8 | (entry.sps.bit_depth_chroma - 8)));
    out.U8(0);  // numOfSequenceParameterSetExt
  }
}

// MPEG-4 descriptors use a one-byte length here: all of ours are below 128 bytes.
void Descriptor(BoxBuffer& out, uint8_t tag, uint8_t length) {
  out.U8(tag);
  out.U8(length);
}

void WriteEsds(BoxBuffer& out, const AudioEntry& entry, uint16_t es_id) {
  BoxScope box(out, "esds", kEsdsSize, 0, 0);
  Descriptor(out, 0x03, 25);  // ES_Descriptor
  out.U16(es_id);
  out.U8(0);                  // no dependency, URL or OCR stream
  Descriptor(out, 0x04, 17);  // DecoderConfigDescriptor
  out.U8(0x40);               // objectTypeIndication: MPEG-4 audio
  out.U8(0x15);               // streamType 5 (audio) << 2 | reserved bit
  out.U24(entry.buffer_size);
  out.U32(entry.max_bitrate);
  out.U32(entry.avg_bitrate);
  Descriptor(out, 0x05, 2);   // DecoderSpecificInfo: the AudioSpecificConfig
  out.Bytes(AudioSpecificConfig(entry.format));
  Descriptor(out, 0x06, 1);   // SLConfigDescriptor
  out.U8(0x02);               // predefined: MP4 files
}

}  // namespace

uint64_t VideoStsdSize(const VideoEntry& entry) {
  return BoxScope::kFullHeader + 4 + BoxScope::kHeader + kVisualEntryFields + AvcCSize(entry);
}

void WriteVideoStsd(BoxBuffer& out, const VideoEntry& entry) {
  BoxScope stsd(out, "stsd", VideoStsdSize(entry), 0, 0);
  out.U32(1);  // entry count
  BoxScope avc1(out, "avc1", BoxScope::kHeader + kVisualEntryFields + AvcCSize(entry));
  out.Zeros(6);   // reserved
  out.U16(1);     // data reference index
  out.Zeros(16);  // pre_defined, reserved, pre_defined[3]
  out.U16(uint16_t(entry.sps.width));
  out.U16(uint16_t(entry.sps.height));
  out.U32(0x00480000);  // 72 dpi horizontally
  out.U32(0x00480000);  // and vertically
  out.U32(0);           // reserved
  out.U16(1);           // frame count
  out.Zeros(32);        // compressor name: empty Pascal string
  out.U16(0x0018);      // depth: colour
  out.U16(0xFFFF);      // pre_defined -1
  WriteAvcC(out, entry);
}

uint64_t AudioStsdSize() {
  return BoxScope::kFullHeader + 4 + BoxScope::kHeader + kAudioEntryFields + kEsdsSize;
}

void WriteAudioStsd(BoxBuffer& out, const AudioEntry& entry, uint16_t es_id) {
  BoxScope stsd(out, "stsd", AudioStsdSize(), 0, 0);
  out.U32(1);  // entry count
  BoxScope mp4a(out, "mp4a", BoxScope::kHeader + kAudioEntryFields + kEsdsSize);
  out.Zeros(6);  // reserved
  out.U16(1);    // data reference index
  out.Zeros(8);  // version, revision, vendor
  out.U16(entry.format.channel_config == 7 ? 8 : entry.format.channel_config);
  out.U16(16);   // sample size
  out.U16(0);    // pre_defined
  out.U16(0);    // reserved
  // 16.16 fixed point; rates above 65535 do not fit and the esds config rules anyway.
  out.U32(entry.sample_rate <= 0xFFFF ? entry.sample_rate << 16 : 0);
  WriteEsds(out, entry, es_id);
}

}  // namespace convert
