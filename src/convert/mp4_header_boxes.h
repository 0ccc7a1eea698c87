// Fixed-layout MP4 boxes: ftyp, mvhd, tkhd, mdhd (all version 0), hdlr, vmhd, smhd and
// dinf with a self-reference. Each writer announces its size (the matching *Size constant
// or function) through a BoxScope. Creation and modification times are 0: the muxer does
// not know when the recording was made, and identical inputs give identical files.
// Pure functions; any thread.
#pragma once

#include <cstdint>

#include "convert/mp4_box_writer.h"

namespace convert {

inline constexpr uint64_t kFtypSize = 32;
inline constexpr uint64_t kMvhdSize = 108;
inline constexpr uint64_t kTkhdSize = 92;
inline constexpr uint64_t kMdhdSize = 32;
inline constexpr uint64_t kVmhdSize = 20;
inline constexpr uint64_t kSmhdSize = 16;
inline constexpr uint64_t kDinfSize = 36;
inline constexpr uint32_t kMovieTimescale = 1000;

void WriteFtyp(BoxBuffer& out);
void WriteMvhd(BoxBuffer& out, uint32_t duration, uint32_t next_track_id);

struct TkhdFields {
  uint32_t track_id = 1;
  uint32_t duration = 0;  // in the movie timescale
  bool audio = false;     // full volume; video tracks are silent
  uint32_t width = 0;     // pixels, video only
  uint32_t height = 0;
};
void WriteTkhd(BoxBuffer& out, const TkhdFields& fields);

void WriteMdhd(BoxBuffer& out, uint32_t timescale, uint32_t duration);

uint64_t HdlrSize(bool video);
void WriteHdlr(BoxBuffer& out, bool video);

void WriteVmhd(BoxBuffer& out);
void WriteSmhd(BoxBuffer& out);
void WriteDinf(BoxBuffer& out);

}  // namespace convert
