#include "convert/mp4_moov_writer.h"

#include "convert/mp4_header_boxes.h"
#include "convert/mp4_sample_tables.h"

namespace convert {
namespace {

uint64_t StblSize(const MovieLayout& movie, bool video) {
  const TrackTables& t = video ? movie.video : movie.audio;
  const uint64_t n = t.sizes.size();
  uint64_t size = BoxScope::kHeader + (video ? VideoStsdSize(movie.video_entry) : AudioStsdSize()) +
                  SttsSize(n) + StscSize(n) + StszSize(n) + ChunkOffsetsSize(n, movie.co64);
  if (video) size += StssSize(movie.sync_samples.size());
  return size;
}

uint64_t MinfSize(const MovieLayout& movie, bool video) {
  return BoxScope::kHeader + (video ? kVmhdSize : kSmhdSize) + kDinfSize + StblSize(movie, video);
}

uint64_t MdiaSize(const MovieLayout& movie, bool video) {
  return BoxScope::kHeader + kMdhdSize + HdlrSize(video) + MinfSize(movie, video);
}

uint64_t TrakSize(const MovieLayout& movie, bool video) {
  return BoxScope::kHeader + kTkhdSize + MdiaSize(movie, video);
}

void WriteStbl(BoxBuffer& out, const MovieLayout& movie, bool video) {
  const TrackTables& t = video ? movie.video : movie.audio;
  BoxScope stbl(out, "stbl", StblSize(movie, video));
  if (video) {
    WriteVideoStsd(out, movie.video_entry);
  } else {
    WriteAudioStsd(out, movie.audio_entry, uint16_t(kAudioTrackId));
  }
  WriteStts(out, uint32_t(t.sizes.size()), t.sample_delta);
  if (video) WriteStss(out, movie.sync_samples);
  WriteStsc(out, t.sizes.size());
  WriteStsz(out, t.sizes);
  WriteChunkOffsets(out, t.offsets, movie.co64);
}

void WriteTrak(BoxBuffer& out, const MovieLayout& movie, const MovieDurations& durations,
               bool video) {
  const TrackTables& t = video ? movie.video : movie.audio;
  BoxScope trak(out, "trak", TrakSize(movie, video));
  TkhdFields tkhd;
  tkhd.track_id = video ? kVideoTrackId : kAudioTrackId;
  tkhd.duration = video ? durations.video_movie : durations.audio_movie;
  tkhd.audio = !video;
  if (video) {
    tkhd.width = movie.video_entry.sps.width;
    tkhd.height = movie.video_entry.sps.height;
  }
  WriteTkhd(out, tkhd);
  BoxScope mdia(out, "mdia", MdiaSize(movie, video));
  WriteMdhd(out, t.timescale, video ? durations.video_media : durations.audio_media);
  WriteHdlr(out, video);
  BoxScope minf(out, "minf", MinfSize(movie, video));
  if (video) {
    WriteVmhd(out);
  } else {
    WriteSmhd(out);
  }
  WriteDinf(out);
  WriteStbl(out, movie, video);
}


uint64_t GapsSize(const MovieLayout& movie) {
  if (movie.skipped_sectors.empty()) return 0;
  return 2 * BoxScope::kHeader + 4 + 4 * uint64_t(movie.skipped_sectors.size());
}

void WriteGaps(BoxBuffer& out, const MovieLayout& movie) {
  if (movie.skipped_sectors.empty()) return;
  BoxScope udta(out, "udta", GapsSize(movie));
  BoxScope gaps(out, "kgap", GapsSize(movie) - BoxScope::kHeader);
  out.U32(uint32_t(movie.skipped_sectors.size() / 2));
  for (uint32_t s : movie.skipped_sectors) out.U32(s);
}

}  // namespace

uint64_t MoovSize(const MovieLayout& movie) {
  uint64_t size = BoxScope::kHeader + kMvhdSize + TrakSize(movie, true);
  if (movie.has_audio) size += TrakSize(movie, false);
  return size + GapsSize(movie);
}

void WriteMoov(BoxBuffer& out, const MovieLayout& movie, const MovieDurations& durations) {
  const uint64_t size = MoovSize(movie);
  out.Reserve(out.size() + size_t(size));
  BoxScope moov(out, "moov", size);
  WriteMvhd(out, durations.movie, movie.has_audio ? kAudioTrackId + 1 : kVideoTrackId + 1);
  WriteTrak(out, movie, durations, true);
  if (movie.has_audio) WriteTrak(out, movie, durations, false);
  WriteGaps(out, movie);
}

}  // namespace convert
