// The movie as the muxer lays it out: both tracks' sample tables, their sample entries,
// and where each sample (one per chunk) lies in mdat. Samples are interleaved by decode
// time, video first on equal times, so that players read the file front to back.
// Pure functions; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "convert/mp4_sample_entries.h"

namespace convert {

struct TrackTables {
  std::span<const uint32_t> sizes;
  std::vector<uint64_t> offsets;  // file offset of each sample
  uint32_t timescale = 0;
  uint32_t sample_delta = 0;      // ticks per sample
};

struct MovieLayout {
  VideoEntry video_entry;
  TrackTables video;
  std::span<const uint32_t> sync_samples;
  bool has_audio = false;
  AudioEntry audio_entry;
  TrackTables audio;
  bool co64 = false;
  // Sectors skipped after damaged boxes, as (first, last) pairs: stored in moov/udta/"kgap"
  // (count, then the pairs, u32 big-endian) when there are any.
  std::span<const uint32_t> skipped_sectors;
};

struct MovieDurations {
  uint32_t video_media = 0;  // in each track's media timescale
  uint32_t audio_media = 0;
  uint32_t video_movie = 0;  // in the movie timescale
  uint32_t audio_movie = 0;
  uint32_t movie = 0;
};

// Nothing when a duration does not fit the 32-bit version-0 fields.
std::optional<MovieDurations> ComputeDurations(const MovieLayout& movie);

// Total payload bytes of both tracks.
uint64_t MediaDataBytes(const MovieLayout& movie);

// Assigns every sample its offset, starting at `data_start` (the first byte after mdat's
// header), in decode-time order.
void PlaceSamples(MovieLayout& movie, uint64_t data_start);

// Fills the esds rate fields from the audio sizes: largest frame, average and busiest second.
void ComputeAudioRates(std::span<const uint32_t> sizes, uint32_t sample_rate, AudioEntry* entry);

}  // namespace convert
