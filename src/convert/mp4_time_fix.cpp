#include "convert/mp4_time_fix.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/endian.h"

namespace convert {
namespace {

BytePatch Word32(uint64_t pos, uint32_t value) {
  BytePatch p{pos, std::vector<uint8_t>(4)};
  base::store_be32(p.bytes.data(), value);
  return p;
}

double Ratio(double a, double b) { return b == 0 ? 0 : a / b; }

}  // namespace

std::vector<BytePatch> PlanTimeCorrections(const Mp4Walk& walk) {
  std::vector<BytePatch> patches;
  for (uint64_t pos : walk.fieldCodingFixes) patches.push_back({pos, {50}});
  if (!walk.haveMovie || !(walk.movieSeconds > 0)) return patches;

  const double audioSeconds = walk.haveAudio ? walk.audio.seconds : 0;
  const double videoSeconds = walk.haveVideo ? walk.video.seconds : 0;
  double movieSeconds = walk.movieSeconds;

  // A movie exactly twice as long as a track (as after the field-coding fix) is halved.
  if ((audioSeconds > 0 && movieSeconds / audioSeconds == 2) ||
      (videoSeconds > 0 && movieSeconds / videoSeconds == 2)) {
    const uint32_t halved = walk.movieDuration >> 1;
    patches.push_back(Word32(walk.movieDurationPos, halved));
    movieSeconds = Ratio(halved, walk.movieTimescale);
  }

  // Stretch or shrink the audio clock to the video's when they part by more than 0.5 s.
  // Without one of the tracks the ratio is 0 and nothing changes.
  const bool audioLonger = audioSeconds > videoSeconds;
  const double ratio = audioLonger ? Ratio(audioSeconds, videoSeconds)
                                   : Ratio(videoSeconds, audioSeconds);
  if ((ratio - 1) * movieSeconds > 0.5) {
    const double scaled = audioLonger ? walk.audio.timescale * ratio
                                      : walk.audio.timescale / ratio;
    const double clamped = std::min(std::trunc(scaled), double(std::numeric_limits<uint32_t>::max()));
    patches.push_back(Word32(walk.audio.timescalePos, uint32_t(clamped)));
  }
  return patches;
}

}  // namespace convert
