#include "convert/mux_copy.h"

#include <limits>
#include <optional>

#include "convert/adts_parser.h"
#include "convert/h264_video_scan.h"
#include "convert/mp4_muxer.h"
#include "convert/mux_audio_scan.h"

namespace convert {
namespace {

class AudioCopier {
 public:
  AudioCopier(InputFile* file, const TrackTables& track) : track_(track) {
    if (file != nullptr) reader_.emplace(*file);
  }

  // Writes every audio sample placed before `limit`.
  int WriteBefore(uint64_t limit, OutputFile& out) {
    while (next_ < track_.sizes.size() && track_.offsets[next_] < limit) {
      if (!reader_) return kMuxInternalError;
      AdtsHeader header;
      std::span<const uint8_t> payload;
      const AdtsReader::Result result = reader_->Next(&header, &payload);
      if (result != AdtsReader::Result::kFrame) {
        const int error = AdtsReaderError(result);
        return error != kMuxOk ? error : kMuxInputChanged;
      }
      if (out.position() != track_.offsets[next_] || payload.size() != track_.sizes[next_]) {
        return kMuxInputChanged;
      }
      out.Write(payload.data(), payload.size());
      ++next_;
    }
    return kMuxOk;
  }

 private:
  const TrackTables& track_;
  std::optional<AdtsReader> reader_;
  size_t next_ = 0;
};

}  // namespace

int CopyMediaData(const CopySources& sources, const MovieLayout& movie, uint64_t data_end,
                  OutputFile& out) {
  const TrackTables& video = movie.video;
  AudioCopier audio(sources.audio, movie.audio);
  VideoUnitWalker walker(*sources.video, *sources.parameter_sets);
  uint64_t current = std::numeric_limits<uint64_t>::max();
  for (;;) {
    VideoUnitWalker::Unit unit;
    bool done = false;
    if (int error = walker.Next(&unit, &done)) return error;
    if (done) break;
    if (unit.access_unit < sources.first_access_unit) continue;
    const uint64_t sample = unit.access_unit - sources.first_access_unit;
    if (sample >= video.sizes.size()) continue;  // units after the last picture
    if (sample != current) {
      if (int error = audio.WriteBefore(video.offsets[sample], out)) return error;
      if (out.position() != video.offsets[sample]) return kMuxInputChanged;
      current = sample;
    }
    if (unit.kept) {
      out.WriteBe32(uint32_t(unit.nal.size()));
      out.Write(unit.nal.data(), unit.nal.size());
    }
    if (out.failed()) return kMuxWriteFailed;
  }
  if (current + 1 != video.sizes.size()) return kMuxInputChanged;
  if (int error = audio.WriteBefore(std::numeric_limits<uint64_t>::max(), out)) return error;
  if (out.position() != data_end) return kMuxInputChanged;
  return out.failed() ? kMuxWriteFailed : kMuxOk;
}

}  // namespace convert
