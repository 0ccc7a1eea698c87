#include "convert/mp4_muxer.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <new>

#include "convert/h264_video_scan.h"
#include "convert/mp4_header_boxes.h"
#include "convert/mp4_moov_writer.h"
#include "convert/mux_audio_scan.h"
#include "convert/mux_copy.h"
#include "convert/mux_layout.h"

namespace convert {
namespace {

constexpr uint32_t kAacFrameSamples = 1024;

bool SameFile(const char* a, const char* b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error);
}

// Refuses null or empty paths, an output that is a folder, and an output that is one of the
// inputs (writing it would destroy the input before it is read).
bool PathsAcceptable(const char* video, const char* audio, const char* output) {
  for (const char* path : {video, audio, output}) {
    if (path == nullptr || *path == '\0') return false;
  }
  std::error_code error;
  if (std::filesystem::is_directory(output, error)) return false;
  return !SameFile(output, video) && !SameFile(output, audio);
}

// Removes the output file when the muxer leaves before finishing it, also on an exception.
class PartialOutputRemover {
 public:
  explicit PartialOutputRemover(const char* path) : path_(path) {}
  ~PartialOutputRemover() {
    if (armed_) std::remove(path_);
  }
  PartialOutputRemover(const PartialOutputRemover&) = delete;
  PartialOutputRemover& operator=(const PartialOutputRemover&) = delete;
  void Arm() { armed_ = true; }
  void Disarm() { armed_ = false; }

 private:
  const char* path_;
  bool armed_ = false;
};

uint64_t MdatHeaderSize(uint64_t data_bytes) { return data_bytes + 8 <= 0xFFFFFFFFu ? 8 : 16; }

void WriteMdatHeader(OutputFile& out, uint64_t data_bytes) {
  if (MdatHeaderSize(data_bytes) == 8) {
    out.WriteBe32(uint32_t(data_bytes + 8));
    out.Write("mdat", 4);
    return;
  }
  const uint64_t size = data_bytes + 16;
  out.WriteBe32(1);  // 64-bit size follows the type
  out.Write("mdat", 4);
  out.WriteBe32(uint32_t(size >> 32));
  out.WriteBe32(uint32_t(size));
}

// Lays the samples out after ftyp, moov and mdat's header, with co64 when an offset passes
// the threshold. Returns where mdat's payload starts.
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

struct Scans {
  VideoScan video;
  AudioScan audio;
};

int ScanInputs(const char* h264_path, const char* aac_path, Scans* scans) {
  InputFile video;
  if (!video.Open(h264_path)) return kMuxCannotOpenVideo;
  InputFile audio;
  if (!audio.Open(aac_path)) return kMuxCannotOpenAudio;
  if (int error = ScanVideo(video, &scans->video)) return error;
  return ScanAudio(audio, &scans->audio);
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

int WriteMovie(const char* h264_path, const char* aac_path, const char* mp4_path,
               const Scans& scans, MovieLayout& movie, const MuxOptions& options) {
  const auto durations = ComputeDurations(movie);
  if (!durations) return kMuxLimitExceeded;
  const uint64_t data_bytes = MediaDataBytes(movie);
  const uint64_t data_start = PlanLayout(movie, data_bytes, options.co64_threshold);

  BoxBuffer head;
  WriteFtyp(head);
  WriteMoov(head, movie, *durations);
  if (!head.ok() || head.size() + MdatHeaderSize(data_bytes) != data_start) {
    return kMuxInternalError;
  }

  InputFile video;
  InputFile audio;
  if (!video.Open(h264_path)) return kMuxCannotOpenVideo;
  if (movie.has_audio && !audio.Open(aac_path)) return kMuxCannotOpenAudio;
  PartialOutputRemover remover(mp4_path);  // declared first: runs after the file is closed
  OutputFile out;
  if (!out.Create(mp4_path)) return kMuxCannotCreateOutput;
  remover.Arm();
  out.Write(head.bytes().data(), head.size());
  WriteMdatHeader(out, data_bytes);
  CopySources sources;
  sources.video = &video;
  sources.audio = movie.has_audio ? &audio : nullptr;
  sources.parameter_sets = &scans.video.parameter_sets;
  sources.first_access_unit = scans.video.first_access_unit;
  const int error = CopyMediaData(sources, movie, data_start + data_bytes, out);
  const bool flushed = out.Finish();
  if (error != kMuxOk) return error;
  if (!flushed) return kMuxWriteFailed;
  remover.Disarm();
  return kMuxOk;
}

int MuxUnchecked(const char* h264_path, const char* aac_path, const char* mp4_path,
                 const MuxOptions& options) {
  if (!PathsAcceptable(h264_path, aac_path, mp4_path)) return kMuxPathRefused;
  Scans scans;
  if (int error = ScanInputs(h264_path, aac_path, &scans)) return error;
  MovieLayout movie = DescribeMovie(scans);
  return WriteMovie(h264_path, aac_path, mp4_path, scans, movie, options);
}

}  // namespace

int MuxFiles(const char* h264Path, const char* aacPath, const char* mp4Path,
             const MuxOptions& options) {
  try {
    return MuxUnchecked(h264Path, aacPath, mp4Path, options);
  } catch (const std::bad_alloc&) {
    return kMuxOutOfMemory;
  } catch (...) {
    return kMuxInternalError;
  }
}

}  // namespace convert

int process(const char* h264Path, const char* aacPath, const char* mp4Path) {
  return convert::MuxFiles(h264Path, aacPath, mp4Path, convert::MuxOptions{});
}
