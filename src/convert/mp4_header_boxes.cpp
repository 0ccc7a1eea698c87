#include "convert/mp4_header_boxes.h"

#include <cstring>

namespace convert {
namespace {

constexpr uint32_t kUnityMatrix[9] = {0x00010000, 0, 0, 0, 0x00010000, 0, 0, 0, 0x40000000};

const char* HandlerName(bool video) { return video ? "VideoHandler" : "SoundHandler"; }

void WriteMatrix(BoxBuffer& out) {
  for (uint32_t value : kUnityMatrix) out.U32(value);
}

}  // namespace

void WriteFtyp(BoxBuffer& out) {
  BoxScope box(out, "ftyp", kFtypSize);
  out.FourCC("isom");  // major brand
  out.U32(0x200);      // minor version
  for (const char* brand : {"isom", "iso2", "avc1", "mp41"}) out.FourCC(brand);
}

void WriteMvhd(BoxBuffer& out, uint32_t duration, uint32_t next_track_id) {
  BoxScope box(out, "mvhd", kMvhdSize, 0, 0);
  out.U32(0);  // creation time
  out.U32(0);  // modification time
  out.U32(kMovieTimescale);
  out.U32(duration);
  out.U32(0x00010000);  // rate 1.0
  out.U16(0x0100);      // volume 1.0
  out.Zeros(10);        // reserved
  WriteMatrix(out);
  out.Zeros(24);        // pre_defined
  out.U32(next_track_id);
}

void WriteTkhd(BoxBuffer& out, const TkhdFields& fields) {
  BoxScope box(out, "tkhd", kTkhdSize, 0, 0x000003);  // enabled, in movie
  out.U32(0);  // creation time
  out.U32(0);  // modification time
  out.U32(fields.track_id);
  out.U32(0);  // reserved
  out.U32(fields.duration);
  out.Zeros(8);                           // reserved
  out.U16(0);                             // layer
  out.U16(0);                             // alternate group
  out.U16(fields.audio ? 0x0100 : 0);     // volume
  out.U16(0);                             // reserved
  WriteMatrix(out);
  out.U32(fields.width << 16);            // 16.16 fixed point
  out.U32(fields.height << 16);
}

void WriteMdhd(BoxBuffer& out, uint32_t timescale, uint32_t duration) {
  BoxScope box(out, "mdhd", kMdhdSize, 0, 0);
  out.U32(0);  // creation time
  out.U32(0);  // modification time
  out.U32(timescale);
  out.U32(duration);
  out.U16(0x55C4);  // language "und", packed ISO-639-2
  out.U16(0);       // pre_defined
}

uint64_t HdlrSize(bool video) { return BoxScope::kFullHeader + 20 + std::strlen(HandlerName(video)) + 1; }

void WriteHdlr(BoxBuffer& out, bool video) {
  BoxScope box(out, "hdlr", HdlrSize(video), 0, 0);
  out.U32(0);  // pre_defined
  out.FourCC(video ? "vide" : "soun");
  out.Zeros(12);  // reserved
  const char* name = HandlerName(video);
  out.Bytes({reinterpret_cast<const uint8_t*>(name), std::strlen(name) + 1});
}

void WriteVmhd(BoxBuffer& out) {
  BoxScope box(out, "vmhd", kVmhdSize, 0, 1);
  out.U16(0);     // graphics mode: copy
  out.Zeros(6);   // opcolor
}

void WriteSmhd(BoxBuffer& out) {
  BoxScope box(out, "smhd", kSmhdSize, 0, 0);
  out.U16(0);  // balance
  out.U16(0);  // reserved
}

void WriteDinf(BoxBuffer& out) {
  BoxScope dinf(out, "dinf", kDinfSize);
  BoxScope dref(out, "dref", kDinfSize - 8, 0, 0);
  out.U32(1);  // entry count
  BoxScope url(out, "url ", 12, 0, 1);  // flag 1: media data in this file
}

}  // namespace convert
