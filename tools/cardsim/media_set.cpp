#include "cardsim/media_set.h"

#include <mutex>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

namespace cardsim {

std::shared_ptr<const MediaSet> GetMediaSet(const MediaParams& params, std::string& error) {
  static std::mutex mutex;
  static std::vector<std::shared_ptr<const MediaSet>> cache;
  std::lock_guard lock(mutex);
  for (const auto& set : cache)
    if (set->params == params) return set;

  av_log_set_level(AV_LOG_ERROR);  // the encoders' statistics are noise in a tool's output
  auto set = std::make_shared<MediaSet>();
  set->params = params;
  VideoEncodeParams v;
  v.width = params.width;
  v.height = params.height;
  v.fps = params.fps;
  v.gop = params.gop;
  v.gop_count = params.gop_count;
  v.bit_rate = params.video_bit_rate;
  v.high_profile = params.high_profile;
  v.seed = params.seed;
  if (!EncodeVideo(v, set->video, error)) return nullptr;
  AudioEncodeParams a;
  a.sample_rate = params.sample_rate;
  a.channels = params.channels;
  // As many audio frames as the video cycle lasts, so both cycles have similar lengths.
  const int64_t cycle_samples =
      int64_t(params.gop) * params.gop_count * params.sample_rate / params.fps;
  a.frame_count = int(cycle_samples / kAacFrameSamples) + 1;
  a.bit_rate = 48000 * params.channels;
  a.seed = params.seed;
  if (!EncodeAudio(a, set->audio, error)) return nullptr;
  cache.push_back(set);
  return set;
}

}  // namespace cardsim
