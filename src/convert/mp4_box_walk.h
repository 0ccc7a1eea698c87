// The box walk of a muxed .mp4: finds the movie header, the time values and sample tables of
// the first video and the first audio track, and whether a "skip" box is present. Read-only:
// the walk never writes; the field-coding fix of a 25-tick media timescale is returned as a
// pending byte write and already applied to the values it reports.
//
// Decisions where the tables cannot be used as they stand: a "stsz"/"stco"/"co64" met before a
// "hdlr" of type "vide" or "soun" is reported ("no hdlr before ...") and left out; a chunk count
// that differs from the sample count is reported ("no stsz before ...") and the smaller of the
// two is used, so every sample used has both a size and an offset; only the first video and
// the first audio track are used. "meta" boxes with ISO version bytes are entered past them.
//
// Hostile files are walked safely: every box must fit its container (the file at top level),
// sizes below the header, nesting deeper than kMaxBoxDepth and tables whose count exceeds
// their box end the walk with `malformed` set and a reason. Tables are not loaded; the walk
// records where their entries lie, so memory does not grow with the sample count.
// Safe on any thread for distinct files.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "convert/mp4_file.h"

namespace convert {

inline constexpr int kMaxBoxDepth = 16;

// Time values captured for one track when its "hdlr" is met (the last "tkhd" and "mdhd").
struct TrackTimes {
  uint32_t tkhdDuration = 0;
  uint64_t tkhdDurationPos = 0;
  uint32_t timescale = 0;  // "mdhd"
  uint64_t timescalePos = 0;
  uint32_t duration = 0;   // "mdhd"
  uint64_t durationPos = 0;
  double seconds = 0;      // duration / timescale, 0 without a timescale
};

// Where one track's sample sizes and chunk offsets lie. Sample i has size i and offset i.
struct SampleTable {
  bool hasSizes = false;
  bool hasOffsets = false;
  uint32_t sizeCount = 0;     // "stsz" sample count
  uint32_t constantSize = 0;  // "stsz" common size; 0 when a size table follows
  uint64_t sizesPos = 0;      // first 32-bit size entry
  uint32_t chunkCount = 0;    // offsets used: the chunk count, cut to sizeCount on mismatch
  uint64_t offsetsPos = 0;    // first offset entry
  bool offsets64 = false;     // "co64" (8-byte entries) rather than "stco"

  // Samples that have both a size and an offset.
  uint32_t count() const;
};

struct Mp4Walk {
  bool malformed = false;
  std::string problem;  // why the walk gave up, when malformed

  // The top-level boxes end exactly at the end of the file, each with a stated size; only
  // then can a box appended at the end be found again by the next walk.
  bool appendable = false;

  bool skipSeen = false;
  uint64_t skipPos = 0, skipSize = 0;  // the first "skip" box

  bool haveMovie = false;
  uint32_t movieTimescale = 0, movieDuration = 0;
  uint64_t movieDurationPos = 0;
  double movieSeconds = 0;

  bool haveVideo = false, haveAudio = false;
  TrackTimes video, audio;
  SampleTable videoTable, audioTable;

  // Positions of "mdhd" timescale low bytes to set to 50 (field-coded recordings).
  std::vector<uint64_t> fieldCodingFixes;
  // Sectors skipped after damaged boxes (moov/udta/"kgap"), as (first, last) pairs.
  std::vector<std::pair<uint32_t, uint32_t>> gaps;
  // The "!!! error: ..." messages met on the way, in order.
  std::vector<std::string> notices;
};

// Walks the whole file. `fieldCoded`: the record's field-coding flag byte equals 1, so a media
// timescale of 25 becomes 50.
Mp4Walk WalkMp4(const Mp4File& file, bool fieldCoded);

}  // namespace convert
