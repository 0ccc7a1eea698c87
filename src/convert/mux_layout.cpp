#include "convert/mux_layout.h"

#include <algorithm>

#include "convert/mp4_header_boxes.h"

namespace convert {
namespace {

constexpr uint32_t kAacFrameSamples = 1024;
__extension__ typedef unsigned __int128 Uint128;

std::optional<uint32_t> ToMovieTime(uint64_t media, uint32_t timescale) {
  if (timescale == 0) return 0;
  const uint64_t value = (media * kMovieTimescale + timescale / 2) / timescale;
  if (value > 0xFFFFFFFFu) return std::nullopt;
  return uint32_t(value);
}

}  // namespace

std::optional<MovieDurations> ComputeDurations(const MovieLayout& movie) {
  MovieDurations d;
  const uint64_t video = uint64_t(movie.video.sizes.size()) * movie.video.sample_delta;
  const uint64_t audio = uint64_t(movie.audio.sizes.size()) * movie.audio.sample_delta;
  if (video > 0xFFFFFFFFu || audio > 0xFFFFFFFFu) return std::nullopt;
  const auto video_movie = ToMovieTime(video, movie.video.timescale);
  const auto audio_movie = ToMovieTime(audio, movie.audio.timescale);
  if (!video_movie || !audio_movie) return std::nullopt;
  d.video_media = uint32_t(video);
  d.audio_media = uint32_t(audio);
  d.video_movie = *video_movie;
  d.audio_movie = *audio_movie;
  d.movie = std::max(d.video_movie, movie.has_audio ? d.audio_movie : 0);
  return d;
}

uint64_t MediaDataBytes(const MovieLayout& movie) {
  uint64_t total = 0;
  for (uint32_t size : movie.video.sizes) total += size;
  for (uint32_t size : movie.audio.sizes) total += size;
  return total;
}

void PlaceSamples(MovieLayout& movie, uint64_t data_start) {
  TrackTables& v = movie.video;
  TrackTables& a = movie.audio;
  v.offsets.resize(v.sizes.size());
  a.offsets.resize(a.sizes.size());
  // Video sample i starts at i * dv / tv seconds, audio sample j at j * da / ta; compare
  // i * dv * ta with j * da * tv exactly (128-bit: the factors reach 2^96).
  const Uint128 video_step = Uint128(v.sample_delta) * a.timescale;
  const Uint128 audio_step = Uint128(a.sample_delta) * v.timescale;
  uint64_t position = data_start;
  size_t i = 0;
  size_t j = 0;
  while (i < v.sizes.size() || j < a.sizes.size()) {
    const bool take_video =
        j == a.sizes.size() || (i < v.sizes.size() && i * video_step <= j * audio_step);
    if (take_video) {
      v.offsets[i] = position;
      position += v.sizes[i++];
    } else {
      a.offsets[j] = position;
      position += a.sizes[j++];
    }
  }
}

void ComputeAudioRates(std::span<const uint32_t> sizes, uint32_t sample_rate, AudioEntry* entry) {
  uint64_t total = 0;
  uint64_t largest = 0;
  uint64_t busiest = 0;
  uint64_t second_bytes = 0;
  uint64_t second = 0;
  for (size_t j = 0; j < sizes.size(); ++j) {
    const uint64_t this_second = sample_rate ? j * kAacFrameSamples / sample_rate : 0;
    if (this_second != second) {
      second = this_second;
      second_bytes = 0;
    }
    second_bytes += sizes[j];
    busiest = std::max(busiest, second_bytes);
    largest = std::max<uint64_t>(largest, sizes[j]);
    total += sizes[j];
  }
  const uint64_t duration_samples = uint64_t(sizes.size()) * kAacFrameSamples;
  const uint64_t average = duration_samples ? total * 8 * sample_rate / duration_samples : 0;
  entry->buffer_size = uint32_t(std::min<uint64_t>(largest, 0xFFFFFF));
  entry->avg_bitrate = uint32_t(std::min<uint64_t>(average, 0xFFFFFFFFu));
  entry->max_bitrate = uint32_t(std::min<uint64_t>(std::max(busiest * 8, average), 0xFFFFFFFFu));
}

}  // namespace convert
