#include "convert/mp4_movie_plan.h"

#include <algorithm>

#include "convert/mp4_header_boxes.h"
#include "convert/mp4_moov_writer.h"
#include "convert/mp4_muxer.h"

namespace convert {
namespace {

constexpr uint32_t kAacFrameSamples = 1024;

}  // namespace

uint64_t MdatHeaderSize(uint64_t data_bytes) { return data_bytes + 8 <= 0xFFFFFFFFu ? 8 : 16; }

void AppendMdatHeader(BoxBuffer& out, uint64_t data_bytes) {
  if (MdatHeaderSize(data_bytes) == 8) {
    out.U32(uint32_t(data_bytes + 8));
    out.FourCC("mdat");
    return;
  }
  out.U32(1);  // 64-bit size follows the type
  out.FourCC("mdat");
  out.U64(data_bytes + 16);
}

uint64_t PlanLayout(MovieLayout& movie, uint64_t data_bytes, uint64_t co64_threshold) {
  for (bool co64 : {false, true}) {
    movie.co64 = co64;
    const uint64_t data_start = kFtypSize + MoovSize(movie) + MdatHeaderSize(data_bytes);
    PlaceSamples(movie, data_start);
    uint64_t last = 0;
    if (!movie.video.offsets.empty()) last = movie.video.offsets.back();
    if (!movie.audio.offsets.empty()) last = std::max(last, movie.audio.offsets.back());
    if (co64 || last <= co64_threshold) return data_start;
  }
  return 0;  // not reached
}

MovieLayout DescribeMovie(const Scans& scans) {
  MovieLayout movie;
  movie.video_entry.parameter_sets = &scans.video.parameter_sets;
  movie.video_entry.sps = scans.video.sps;
  movie.video.sizes = scans.video.sample_sizes;
  movie.video.timescale = scans.video.timing.timescale;
  movie.video.sample_delta = scans.video.timing.delta;
  movie.sync_samples = scans.video.sync_samples;
  movie.has_audio = !scans.audio.sample_sizes.empty();
  if (movie.has_audio) {
    movie.audio_entry.format = scans.audio.format;
    movie.audio_entry.sample_rate = scans.audio.sample_rate;
    ComputeAudioRates(scans.audio.sample_sizes, scans.audio.sample_rate, &movie.audio_entry);
    movie.audio.sizes = scans.audio.sample_sizes;
    movie.audio.timescale = scans.audio.sample_rate;
    movie.audio.sample_delta = kAacFrameSamples;
  }
  return movie;
}

int WriteMovieHead(MovieLayout& movie, uint64_t co64_threshold, BoxBuffer& head,
                   uint64_t* data_start, uint64_t* data_bytes) {
  const auto durations = ComputeDurations(movie);
  if (!durations) return kMuxLimitExceeded;
  *data_bytes = MediaDataBytes(movie);
  *data_start = PlanLayout(movie, *data_bytes, co64_threshold);
  WriteFtyp(head);
  WriteMoov(head, movie, *durations);
  AppendMdatHeader(head, *data_bytes);
  if (!head.ok() || head.size() != *data_start) return kMuxInternalError;
  return kMuxOk;
}

}  // namespace convert
