// The muxer: an H.264 Annex B file and an AAC ADTS file into one ISO-BMFF .mp4.
//
// Writes ftyp, moov (before mdat), one vide track (avc1/avcC, stss) and one soun track
// (mp4a/esds), one sample per chunk, stsz with a size table, stco (co64 past 4 GiB),
// version-0 mvhd/tkhd/mdhd, no skip box. Returns 0 on success or one of the codes below.
// Reentrant: no global state.
#pragma once

namespace convert {

enum MuxerError : int {
  kMuxOk = 0,
};

}  // namespace convert

int process(const char* h264Path, const char* aacPath, const char* mp4Path);
