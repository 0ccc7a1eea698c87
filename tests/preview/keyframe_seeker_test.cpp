// The preview's seek on hand-made streams: which key frame is shown, the backward search, the
// three stops of the preview's search, the configuration taken once and the same pair twice.
#include <gtest/gtest.h>

#include "convert/qbox_builder.h"
#include "preview/keyframe_seeker.h"

namespace {

using namespace testsupport;
using preview::KeyFrameSeeker;
using preview::SeekOutcome;
namespace qbox = convert::qbox;

constexpr uint32_t kBlocks = 8;

Bytes KeyFrame(uint8_t id, size_t bytes = 200) {
  Bytes payload = NalPayload({Filler(bytes, id)});
  return MakeBox({qbox::kStreamVideo, qbox::kSampleKeyFrame, payload});
}
Bytes Audio(uint8_t id) { return MakeBox({qbox::kStreamAudio, 0, Filler(300, id)}); }
Bytes Delta(uint8_t id) { return MakeBox({qbox::kStreamVideo, 0, NalPayload({Filler(900, id)})}); }

class SeekerTest : public ::testing::Test {
 protected:
  SeekerTest() : region(kBlocks * 256) {}
  // Appends audio boxes until the layout reaches `sector`.
  void AudioUntil(StreamLayout& l, uint32_t sector) {
    for (uint8_t i = 0; l.sector() < sector; ++i) l.AppendBox(Audio(i));
  }
  // The id the filler of the box shown starts with.
  int ShownId(const KeyFrameSeeker& s) {
    const auto box = s.shown_box();
    return box.size() > 28 ? box[28] : -1;
  }
  MemoryRegion region;
};

TEST_F(SeekerTest, ShowsTheKeyFrameFoundAndStandsAtItsStart) {
  StreamLayout l(region, 0);
  AudioUntil(l, 3);
  const uint32_t keySector = l.sector();
  l.AppendBox(KeyFrame(7));
  l.AppendBox(Audio(1));
  l.AppendBox(Delta(2));
  KeyFrameSeeker s(region, kBlocks);
  s.Open(0, 2);
  EXPECT_EQ(s.Seek(0), SeekOutcome::found);
  EXPECT_EQ(ShownId(s), 7);
  EXPECT_FALSE(s.shown_decoded());
  EXPECT_EQ(s.current_sector(), int32_t(keySector));
}

TEST_F(SeekerTest, KeyFrameRightBeforeTheOneFoundIsShownInstead) {
  StreamLayout l(region, 0);
  AudioUntil(l, 250);
  l.AppendBox(KeyFrame(1, 20000));  // runs from block 0 well into block 1
  ASSERT_GT(l.sector(), 256u + 16u);
  l.AppendBox(KeyFrame(2));
  KeyFrameSeeker s(region, kBlocks);
  s.Open(0, 3);
  ASSERT_EQ(s.Seek(1), SeekOutcome::found);  // starts inside key frame 1, finds 2
  EXPECT_EQ(ShownId(s), 1);
}

TEST_F(SeekerTest, SearchesBackwardsToTheRecordingsFirstBlock) {
  // The recording starts at block 1 with the key frame: nothing before it to step back onto.
  StreamLayout l(region, 256);
  l.AppendBox(KeyFrame(5));
  AudioUntil(l, 3 * 256 + 100);
  l.AppendBox(MakeBox({qbox::kStreamAudio, 0x100, {}}));  // end of stream
  KeyFrameSeeker s(region, kBlocks);
  s.Open(1, 3);
  ASSERT_EQ(s.Seek(2), SeekOutcome::found);
  EXPECT_EQ(ShownId(s), 5);
  EXPECT_EQ(s.cur_block(), 1);
  EXPECT_EQ(s.cur_step(), 0);
}

TEST_F(SeekerTest, NoKeyFrameInTheRecordingFindsNothing) {
  StreamLayout l(region, 256);
  AudioUntil(l, 2 * 256 + 10);
  KeyFrameSeeker s(region, kBlocks);
  s.Open(1, 2);
  EXPECT_EQ(s.Seek(1), SeekOutcome::not_found);
  EXPECT_TRUE(s.shown_box().empty());
  // After a reopening a key frame before the recording's first block is still not taken.
  StreamLayout before(region, 0);
  before.AppendBox(KeyFrame(9));
  s.Open(1, 2);
  EXPECT_EQ(s.Seek(0), SeekOutcome::not_found);
}

TEST_F(SeekerTest, EmptySectorsEndTheSearchAfter256) {
  // Key frame at sector 20 of block 2; blocks 0 and 1 hold nothing. No search of the
  // recording (blocks 0 and 1) reaches it through 256 empty sectors.
  StreamLayout l(region, 2 * 256 + 20);
  l.AppendBox(KeyFrame(3));
  KeyFrameSeeker s(region, kBlocks);
  s.Open(0, 2);
  EXPECT_EQ(s.Seek(1), SeekOutcome::not_found);
  EXPECT_LT(region.reads(), 16u * 2 * 260);
}

TEST_F(SeekerTest, EndFlagAndLateConfigurationBoxStopTheSearch) {
  for (uint32_t flags : {0x100u, uint32_t(qbox::kSampleConfig)}) {
    MemoryRegion r(kBlocks * 256);
    StreamLayout l(r, 0);
    l.AppendBox(Audio(0));
    AudioUntil(l, 20);
    l.AppendBox(MakeBox({qbox::kStreamVideo, flags, NalPayload({Filler(40, 1)})}));
    l.AppendBox(KeyFrame(4));
    KeyFrameSeeker s(r, kBlocks);
    s.Open(0, 1);
    EXPECT_EQ(s.Seek(0), SeekOutcome::not_found) << flags;
  }
  // A configuration box in the search's first sector does not stop it.
  StreamLayout l(region, 0);
  l.AppendBox(VideoConfigBox({0x67, 1}, {0x68, 2}));
  l.AppendBox(KeyFrame(4));
  KeyFrameSeeker s(region, kBlocks);
  s.Open(0, 1);
  EXPECT_EQ(s.Seek(0), SeekOutcome::found);
  EXPECT_EQ(ShownId(s), 4);
}

TEST_F(SeekerTest, ConfigurationIsTakenOncePerOpening) {
  const Bytes video = VideoConfigBox({0x67, 1, 2}, {0x68, 3});
  PutConfiguration(region, 0, video, AudioConfigBox(48000, 1));
  PutConfiguration(region, 1, video, AudioConfigBox(48000, 1));
  base::store_le32(region.sector(255) + 44, 2867);
  StreamLayout l(region, 0);
  l.AppendBox(Audio(0));
  l.AppendBox(KeyFrame(1));
  AudioUntil(l, 256 + 5);
  l.AppendBox(KeyFrame(2));
  KeyFrameSeeker s(region, kBlocks);
  s.Open(0, 2);
  ASSERT_EQ(s.Seek(0), SeekOutcome::found);
  EXPECT_EQ(base::load_le32(s.info_sector().data() + 44), 2867u);
  const auto config = s.TakeVideoConfig();
  ASSERT_EQ(config.size(), (video.size() + 3) & ~size_t(3));
  EXPECT_TRUE(std::equal(video.begin(), video.end(), config.begin()));
  EXPECT_TRUE(s.TakeVideoConfig().empty());
  ASSERT_EQ(s.Seek(1), SeekOutcome::found);
  EXPECT_TRUE(s.TakeVideoConfig().empty());
  s.Open(0, 2);
  ASSERT_EQ(s.Seek(1), SeekOutcome::found);
  EXPECT_FALSE(s.TakeVideoConfig().empty());
}

TEST_F(SeekerTest, TheSamePairTwiceReadsNothing) {
  StreamLayout l(region, 0);
  l.AppendBox(KeyFrame(1));
  KeyFrameSeeker s(region, kBlocks);
  s.Open(0, 1);
  ASSERT_EQ(s.Seek(0), SeekOutcome::found);
  s.set_shown_decoded();
  region.reset_reads();
  EXPECT_EQ(s.Seek(0), SeekOutcome::same);
  EXPECT_EQ(region.reads(), 0u);
  EXPECT_TRUE(s.shown_decoded());
}

}  // namespace
