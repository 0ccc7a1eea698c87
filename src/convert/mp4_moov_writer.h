// Builds the moov box of a laid-out movie: mvhd, the video trak and, when the movie has
// audio, the audio trak, with every size computed before the box is written.
// MoovSize does not depend on the chunk offsets' values, only on stco versus co64, so it
// can be taken before the samples are placed. Pure functions; any thread.
#pragma once

#include <cstdint>

#include "convert/mp4_box_writer.h"
#include "convert/mux_layout.h"

namespace convert {

inline constexpr uint32_t kVideoTrackId = 1;
inline constexpr uint32_t kAudioTrackId = 2;

uint64_t MoovSize(const MovieLayout& movie);

// Appends moov to `out`; the buffer's ok() turns false if a box size came out wrong.
void WriteMoov(BoxBuffer& out, const MovieLayout& movie, const MovieDurations& durations);

}  // namespace convert
