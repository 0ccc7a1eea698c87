// The muxer: an H.264 Annex B file and an AAC ADTS file into one ISO-BMFF .mp4.
//
// Writes ftyp, moov (before mdat), one vide track (avc1/avcC, stss) and one soun track
// (mp4a/esds), one sample per chunk, stsz with a size table, stco (co64 past 4 GiB),
// version-0 mvhd/tkhd/mdhd, no skip box. Returns 0 on success or one of the codes below;
// on failure no output file is left behind. Inputs are streamed in two passes (tables
// first, then the mdat copy), so memory grows only with the sample tables.
// Reentrant: no global state; any thread.
#pragma once

#include <cstdint>

namespace convert {

// Codes 7001-7016 are the muxer's own; they differ from every code of the conversion worker.
enum MuxerError : int {
  kMuxOk = 0,
  kMuxPathRefused = 7001,        // a path is null or empty, the output is a folder or one of the inputs
  kMuxCannotOpenVideo = 7002,    // the .264 file cannot be opened for reading
  kMuxCannotOpenAudio = 7003,    // the .aac file cannot be opened for reading
  kMuxReadFailed = 7004,         // an input could not be read to its end
  kMuxNoParameterSets = 7005,    // no usable SPS or no PPS in the video stream (also: garbage)
  kMuxNoVideoSamples = 7006,     // the video stream holds no picture
  kMuxNalTooLarge = 7007,        // a NAL unit above 48 MiB (no H.264 level allows one)
  kMuxBadAdts = 7008,            // lost ADTS sync, a cut-off or malformed frame, reserved values
  kMuxAudioFormatChanged = 7009, // sample rate, channels or profile differ between ADTS frames
  kMuxLimitExceeded = 7010,      // more samples or a longer duration than the 32-bit fields hold
  kMuxCannotCreateOutput = 7011, // the .mp4 cannot be created
  kMuxWriteFailed = 7012,        // writing the .mp4 failed (disk full, I/O error)
  kMuxInputChanged = 7013,       // an input changed between the scan and the copy pass
  kMuxOutOfMemory = 7014,        // the sample tables could not be allocated
  kMuxInternalError = 7015,      // a box came out with another size than announced
  kMuxBFrames = 7016,            // B slices: pictures out of display order are not supported
};

// Internal entry with knobs for tests: chunk offsets above `co64_threshold` switch the
// chunk-offset tables to co64 (the format's limit is 0xFFFFFFFF).
struct MuxOptions {
  uint64_t co64_threshold = 0xFFFFFFFFu;
};

int MuxFiles(const char* h264Path, const char* aacPath, const char* mp4Path,
             const MuxOptions& options);

}  // namespace convert

// Entry point the conversion worker calls once per output part; MuxFiles with defaults.
int process(const char* h264Path, const char* aacPath, const char* mp4Path);
