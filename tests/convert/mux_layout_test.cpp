// Sample placement, durations and box size bookkeeping of the muxer's layout.
#include "convert/mux_layout.h"

#include <gtest/gtest.h>

#include <vector>

#include "convert/mp4_box_writer.h"

namespace convert {
namespace {

TEST(MuxLayout, SamplesInterleaveByDecodeTimeVideoFirstOnTies) {
  // Video at 25/s (0, 40, 80 ms), audio at 48 kHz in 1024-sample frames (0, 21.3, 42.7, 64 ms).
  const std::vector<uint32_t> video = {100, 10, 10};
  const std::vector<uint32_t> audio = {5, 6, 7, 8};
  MovieLayout movie;
  movie.video = {video, {}, 25, 1};
  movie.audio = {audio, {}, 48000, 1024};
  movie.has_audio = true;
  PlaceSamples(movie, 1000);
  // Order: v0 a0 a1 v1 a2 a3 v2.
  EXPECT_EQ(movie.video.offsets, (std::vector<uint64_t>{1000, 1111, 1136}));
  EXPECT_EQ(movie.audio.offsets, (std::vector<uint64_t>{1100, 1105, 1121, 1128}));
  EXPECT_EQ(MediaDataBytes(movie), 146u);
}

TEST(MuxLayout, DurationsRoundToTheMovieTimescaleAndRefuseOverflow) {
  const std::vector<uint32_t> video(50, 1);
  const std::vector<uint32_t> audio(95, 1);
  MovieLayout movie;
  movie.video = {video, {}, 25, 1};
  movie.audio = {audio, {}, 48000, 1024};
  movie.has_audio = true;
  auto d = ComputeDurations(movie);
  ASSERT_TRUE(d);
  EXPECT_EQ(d->video_media, 50u);
  EXPECT_EQ(d->video_movie, 2000u);
  EXPECT_EQ(d->audio_media, 97280u);
  EXPECT_EQ(d->audio_movie, 2027u);  // 2026.67 ms
  EXPECT_EQ(d->movie, 2027u);
  movie.has_audio = false;
  EXPECT_EQ(ComputeDurations(movie)->movie, 2000u);

  movie.video.sample_delta = 0x10000000;  // 50 x 2^28 ticks do not fit 32 bits
  EXPECT_FALSE(ComputeDurations(movie));
}

TEST(MuxLayout, AudioRatesCoverTheBusiestSecond) {
  std::vector<uint32_t> sizes(47, 100);  // ~1 s at 48 kHz
  sizes[3] = 400;
  AudioEntry entry;
  ComputeAudioRates(sizes, 48000, &entry);
  EXPECT_EQ(entry.buffer_size, 400u);
  EXPECT_EQ(entry.max_bitrate, 47u * 100 * 8 + 300 * 8);
  EXPECT_GT(entry.avg_bitrate, 0u);
  EXPECT_LE(entry.avg_bitrate, entry.max_bitrate);
}

TEST(BoxScope, AWrongAnnouncedSizeMarksTheBufferBad) {
  BoxBuffer good;
  {
    BoxScope box(good, "free", 12);
    good.U32(0);
  }
  EXPECT_TRUE(good.ok());
  EXPECT_EQ(good.bytes(), (std::vector<uint8_t>{0, 0, 0, 12, 'f', 'r', 'e', 'e', 0, 0, 0, 0}));
  BoxBuffer bad;
  {
    BoxScope box(bad, "free", 12, 0, 0);  // the full-box header already fills the 12 bytes
    bad.U8(0);
  }
  EXPECT_FALSE(bad.ok());
}

}  // namespace
}  // namespace convert
