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
#include "convert/mp4_movie_plan.h"

namespace convert {
namespace {

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

int ScanInputs(const char* h264_path, const char* aac_path, Scans* scans) {
  InputFile video;
  if (!video.Open(h264_path)) return kMuxCannotOpenVideo;
  InputFile audio;
  if (!audio.Open(aac_path)) return kMuxCannotOpenAudio;
  if (int error = ScanVideo(video, &scans->video)) return error;
  return ScanAudio(audio, &scans->audio);
}

int WriteMovie(const char* h264_path, const char* aac_path, const char* mp4_path,
               const Scans& scans, MovieLayout& movie, const MuxOptions& options) {
  BoxBuffer head;
  uint64_t data_start = 0;
  uint64_t data_bytes = 0;
  if (int error = WriteMovieHead(movie, options.co64_threshold, head, &data_start, &data_bytes))
    return error;

  InputFile video;
  InputFile audio;
  if (!video.Open(h264_path)) return kMuxCannotOpenVideo;
  if (movie.has_audio && !audio.Open(aac_path)) return kMuxCannotOpenAudio;
  PartialOutputRemover remover(mp4_path);  // declared first: runs after the file is closed
  OutputFile out;
  if (!out.Create(mp4_path)) return kMuxCannotCreateOutput;
  remover.Arm();
  out.Write(head.bytes().data(), head.size());
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
