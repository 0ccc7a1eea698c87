#include "convert/stream_reader.h"

#include <gtest/gtest.h>

#include "convert/qbox_builder.h"

using convert::StreamReader;
using namespace convert::qbox;
using testsupport::Bytes;
using testsupport::MakeBox;
using testsupport::MemoryRegion;
using testsupport::StreamLayout;

namespace {

Bytes KeyFrame(size_t payload, uint8_t seed) {
  return MakeBox({kStreamVideo, kSampleKeyFrame, testsupport::Filler(payload, seed)});
}
Bytes Delta(size_t payload, uint8_t seed) {
  return MakeBox({kStreamVideo, 0, testsupport::Filler(payload, seed)});
}
Bytes Audio(size_t payload, uint8_t seed) {
  return MakeBox({kStreamAudio, 0, testsupport::Filler(payload, seed)});
}

Bytes Padded(Bytes b) {
  b.resize((b.size() + 3) & ~size_t(3), 0);
  return b;
}

Bytes Current(const StreamReader& r) { return Bytes(r.box().begin(), r.box().end()); }

// Places the reader at the start of sector s.
void Start(StreamReader& r, int32_t s) {
  r.Reset();
  r.set_sector_index(s);
  ASSERT_TRUE(r.StepSector(0));
}

}  // namespace

TEST(StreamReaderSectors, StepSkipsInformationSectorsInBothDirections) {
  MemoryRegion region(1024);
  StreamReader r(region);
  Start(r, 254);
  ASSERT_TRUE(r.StepSector(1));
  EXPECT_EQ(r.sector_index(), 256);
  ASSERT_TRUE(r.StepSector(-1));
  EXPECT_EQ(r.sector_index(), 254);
  r.set_sector_index(255);  // a step of 0 onto an information sector counts as forward
  ASSERT_TRUE(r.StepSector(0));
  EXPECT_EQ(r.sector_index(), 256);
}

TEST(StreamReaderSectors, StepWrapsAroundTheRingAndMarksTheRangeEnd) {
  MemoryRegion region(1024);
  StreamReader r(region);
  r.set_range_end(1023);  // the last block's information sector ends a whole record
  Start(r, 1022);
  EXPECT_FALSE(r.end_reached());
  ASSERT_TRUE(r.StepSector(1));
  EXPECT_EQ(r.sector_index(), 0);
  EXPECT_TRUE(r.end_reached());
  ASSERT_TRUE(r.StepSector(-1));
  EXPECT_EQ(r.sector_index(), 1022);
  ASSERT_TRUE(r.StepSector(64));
  EXPECT_EQ(r.sector_index(), 62);
}

namespace {

// A reader whose every read ends with one fixed result.
class FailingRegion final : public card::RegionReader {
 public:
  explicit FailingRegion(card::RegionReadResult result) : result_(result) {
    g_ = card::RegionGeometry{1, 1024, 1024, 1024};
  }
  const card::RegionGeometry& geometry() const override { return g_; }
  card::RegionReadResult read_sector(uint32_t, base::Sector&) override { return result_; }
  void close() override {}
  uint64_t reads() const override { return 0; }
  void reset_reads() override {}

 private:
  card::RegionGeometry g_;
  card::RegionReadResult result_;
};

}  // namespace

TEST(StreamReaderSectors, ReadFailuresMapToTheirCodesAndKeepThePosition) {
  const std::pair<card::RegionReadResult, int> cases[] = {
      {card::RegionReadResult::no_file, 3015},
      {card::RegionReadResult::beyond_file, 5107},
      {card::RegionReadResult::short_read, 1524},
  };
  for (auto [result, code] : cases) {
    FailingRegion region(result);
    StreamReader r(region);
    r.Reset();
    r.set_sector_index(10);
    EXPECT_FALSE(r.StepSector(1));
    EXPECT_EQ(r.error(), code);
    EXPECT_EQ(r.sector_index(), 10);
    EXPECT_FALSE(r.LoadConfiguration());
    EXPECT_EQ(r.error(), code) << "the first failure stays the reported one";
  }
}

TEST(StreamReaderBoxes, BoxCrossingAnInformationSectorReadsWhole) {
  MemoryRegion region(1024);
  StreamLayout layout(region, 253, 100);
  const Bytes first = Delta(1500, 1);  // 253:100 .. past the information sector 255
  const Bytes second = Audio(40, 2);
  layout.AppendBox(first);
  layout.AppendBox(second);
  region.sector(255)[0] = 0xEE;  // information sector bytes must not leak into the box

  StreamReader r(region);
  Start(r, 253);
  r.set_stream_offset(100);
  ASSERT_TRUE(r.ReadNextBox());
  EXPECT_EQ(Current(r), Padded(first));
  EXPECT_EQ(r.box_count(), 0);
  ASSERT_TRUE(r.ReadNextBox());
  EXPECT_EQ(Current(r), Padded(second));
  EXPECT_EQ(r.sector_index(), layout.sector());
  EXPECT_EQ(r.stream_offset(), int32_t(layout.offset()));
}

TEST(StreamReaderBoxes, BoxEndingOnASectorEndMovesToTheNextSector) {
  MemoryRegion region(1024);
  StreamLayout layout(region, 10);
  layout.AppendBox(Delta(512 - 24, 3));
  StreamReader r(region);
  Start(r, 10);
  ASSERT_TRUE(r.ReadNextBox());
  EXPECT_EQ(r.sector_index(), 11);
  EXPECT_EQ(r.stream_offset(), 0);
}

TEST(StreamReaderBoxes, SizeLimitsAreInclusiveAndEndTheStreamOutside) {
  for (uint32_t bad : {23u, 1048577u}) {
    MemoryRegion region(1024);
    StreamLayout layout(region, 0);
    layout.AppendBox(MakeBox({kStreamVideo, 0, Bytes(8), false, bad}));
    StreamReader r(region);
    Start(r, 0);
    EXPECT_FALSE(r.ReadNextBox()) << bad;
    EXPECT_TRUE(r.stream_ended());
    EXPECT_EQ(r.error(), 0);
    EXPECT_FALSE(r.ReadNextBox());
  }
  MemoryRegion region(4096);
  StreamLayout layout(region, 0);
  const Bytes largest = Delta(kMaxSize - 24, 4);
  layout.AppendBox(largest);
  layout.AppendBox(MakeBox({kStreamAudio, 0, {}}));  // exactly 24 bytes: the last box
  layout.AppendBox(Audio(8, 5));
  StreamReader r(region);
  Start(r, 0);
  ASSERT_TRUE(r.ReadNextBox());
  EXPECT_EQ(r.box_size(), kMaxSize);
  EXPECT_EQ(Current(r), largest);
  ASSERT_TRUE(r.ReadNextBox());
  EXPECT_EQ(r.box_size(), 24u);
  EXPECT_FALSE(r.ReadNextBox()) << "nothing is read past a 24-byte box";
  EXPECT_TRUE(r.stream_ended());
}

TEST(StreamReaderBoxes, WrongMagicEndsTheStream) {
  MemoryRegion region(1024);
  StreamLayout layout(region, 0);
  Bytes box = Audio(20, 6);
  box[4] = 'Q';
  layout.AppendBox(box);
  StreamReader r(region);
  Start(r, 0);
  EXPECT_FALSE(r.ReadNextBox());
  EXPECT_TRUE(r.stream_ended());
}

TEST(StreamReaderBoxes, FailedSectorReadFailsTheBoxInsteadOfReturningStaleBytes) {
  MemoryRegion region(1024);
  StreamLayout layout(region, 0);
  layout.AppendBox(Delta(2000, 7));
  region.fail_sector(2);
  StreamReader r(region);
  Start(r, 0);
  EXPECT_FALSE(r.ReadNextBox());
  EXPECT_EQ(r.error(), 1524);
  EXPECT_FALSE(r.stream_ended());
}

TEST(StreamReaderBoxes, RecordWrappingPastTheRegionEndReadsAcrossTheWrap) {
  MemoryRegion region(1024, 512);  // two partition files
  StreamLayout layout(region, 1020);
  std::vector<Bytes> boxes = {Delta(900, 8), Audio(300, 9), Delta(1200, 10)};
  for (const Bytes& b : boxes) layout.AppendBox(b);
  StreamReader r(region);
  Start(r, 1020);
  for (const Bytes& b : boxes) {
    ASSERT_TRUE(r.ReadNextBox());
    EXPECT_EQ(Current(r), Padded(b));
  }
  EXPECT_LT(r.sector_index(), 10);
}

TEST(StreamReaderKeyFrames, ArbitraryStartResynchronisesOnTheNextKeyFrame) {
  MemoryRegion region(1024);
  StreamLayout layout(region, 0);
  layout.AppendBox(KeyFrame(3000, 11));
  layout.AppendBox(Audio(400, 12));
  layout.AppendBox(Delta(700, 13));
  const uint32_t keySector = layout.sector(), keyOffset = layout.offset();
  const Bytes key = KeyFrame(900, 14);
  layout.AppendBox(key);
  StreamReader r(region);
  Start(r, 3);  // inside the first key frame's payload
  ASSERT_TRUE(r.FindKeyFrame());
  EXPECT_EQ(Current(r), Padded(key));
  ASSERT_TRUE(r.RewindToBoxStart());
  EXPECT_EQ(r.sector_index(), int32_t(keySector));
  EXPECT_EQ(r.stream_offset(), int32_t(keyOffset));
}

TEST(StreamReaderKeyFrames, MagicInTheFirstWordOfASectorStartsTheBoxBeforeTheInfoSector) {
  MemoryRegion region(1024);
  StreamLayout layout(region, 254, 508);
  const Bytes key = KeyFrame(600, 15);
  layout.AppendBox(key);  // size word at 254:508, magic at 256:0
  StreamReader r(region);
  Start(r, 256);
  ASSERT_TRUE(r.FindKeyFrame());
  EXPECT_EQ(Current(r), Padded(key));
  ASSERT_TRUE(r.RewindToBoxStart());
  EXPECT_EQ(r.sector_index(), 254);
  EXPECT_EQ(r.stream_offset(), 508);
}

TEST(StreamReaderKeyFrames, InvalidSizeEndsTheSearch) {
  MemoryRegion region(1024);
  StreamLayout layout(region, 0);
  layout.AppendBox(MakeBox({kStreamVideo, kSampleKeyFrame, Bytes(8), false, 2000000}));
  StreamReader r(region);
  Start(r, 0);
  EXPECT_FALSE(r.FindKeyFrame());
  EXPECT_TRUE(r.stream_ended());
}

TEST(StreamReaderKeyFrames, SearchBoundedByTheRangeEndOrOneTurnOfTheRing) {
  MemoryRegion region(1024);  // all zeros: no box anywhere
  StreamReader r(region);
  r.set_range_end(600);
  Start(r, 10);
  EXPECT_FALSE(r.FindKeyFrame(true));
  EXPECT_EQ(r.sector_index(), 600);
  Start(r, 10);
  EXPECT_FALSE(r.FindKeyFrame(false));
  EXPECT_EQ(r.error(), 0);
}

TEST(StreamReaderStepBack, ReturnsToTheBoxBeforeAcrossAnInformationSector) {
  MemoryRegion region(1024);
  StreamLayout layout(region, 254, 300);
  const Bytes before = Audio(280, 16);  // 254:300 .. 256:92
  const Bytes key = KeyFrame(800, 17);
  const Bytes after = Delta(100, 18);
  layout.AppendBox(before);
  layout.AppendBox(key);
  layout.AppendBox(after);
  StreamReader r(region);
  Start(r, 254);
  r.set_stream_offset(300);
  ASSERT_TRUE(r.ReadNextBox());
  ASSERT_TRUE(r.ReadNextBox());
  ASSERT_EQ(r.box_count(), 1);
  ASSERT_TRUE(r.StepBackBox());
  EXPECT_EQ(Current(r), Padded(before));
  EXPECT_EQ(r.box_count(), 0);
  ASSERT_TRUE(r.ReadNextBox());
  EXPECT_EQ(Current(r), Padded(key));
  ASSERT_TRUE(r.ReadNextBox());
  EXPECT_EQ(Current(r), Padded(after));
}

TEST(StreamReaderStepBack, StepsBackOverTheInformationSectorToSector254) {
  MemoryRegion region(1024);
  StreamLayout layout(region, 254, 400);
  const Bytes before = Audio(88, 19);  // exactly 112 bytes: ends at the end of sector 254
  const Bytes key = KeyFrame(300, 20);
  layout.AppendBox(before);
  layout.AppendBox(key);
  StreamReader r(region);
  Start(r, 256);
  ASSERT_TRUE(r.FindKeyFrame());
  r.set_box_count(1);
  ASSERT_TRUE(r.StepBackBox());
  EXPECT_EQ(Current(r), Padded(before));
  ASSERT_TRUE(r.RewindToBoxStart());
  EXPECT_EQ(r.sector_index(), 254);
  EXPECT_EQ(r.stream_offset(), 400);
}

TEST(StreamReaderStepBack, FindsAMagicInTheFirstWordOfTheFollowingSector) {
  MemoryRegion region(1024);
  StreamLayout layout(region, 20, 508);
  const Bytes before = Audio(12, 21);  // size word at 20:508, magic at 21:0
  const Bytes key = KeyFrame(200, 22);
  layout.AppendBox(before);
  layout.AppendBox(key);
  StreamReader r(region);
  Start(r, 21);
  ASSERT_TRUE(r.FindKeyFrame());
  EXPECT_EQ(Current(r), Padded(key));
  r.set_box_count(1);
  ASSERT_TRUE(r.StepBackBox());
  EXPECT_EQ(Current(r), Padded(before));
}

TEST(StreamReaderStepBack, FailsWithoutAPrecedingBoxAndKeepsThePosition) {
  MemoryRegion region(8192);
  StreamLayout layout(region, 4000);
  layout.AppendBox(KeyFrame(500, 24));
  layout.AppendBox(Delta(50, 25));
  StreamReader r(region);
  Start(r, 4000);
  ASSERT_TRUE(r.FindKeyFrame());
  r.set_box_count(1);
  const auto before = r.position();
  const uint64_t reads = region.reads();
  EXPECT_FALSE(r.StepBackBox());
  EXPECT_LT(region.reads() - reads, 2200u) << "the backward scan is bounded";
  EXPECT_EQ(r.sector_index(), before.sector);
  EXPECT_EQ(r.stream_offset(), before.offset);
  EXPECT_EQ(r.error(), 0);
}

TEST(StreamReaderStepBack, RefusesWithoutABoxRead) {
  MemoryRegion region(1024);
  StreamReader r(region);
  Start(r, 0);
  EXPECT_FALSE(r.StepBackBox());
}

class StreamReaderConfig : public ::testing::Test {
 protected:
  MemoryRegion region{2048};
  StreamReader reader{region};
  Bytes video = testsupport::VideoConfigBox({0x67, 1, 2, 3, 4, 5}, {0x68, 9, 9});
  Bytes audio = testsupport::AudioConfigBox(48000, 2);
};

TEST_F(StreamReaderConfig, TakesThePairFromTheCurrentBlockOnce) {
  testsupport::PutConfiguration(region, 0, testsupport::VideoConfigBox({0x67, 0}, {0x68}), audio);
  testsupport::PutConfiguration(region, 3, video, audio);
  Start(reader, 3 * 256 + 17);
  ASSERT_TRUE(reader.LoadConfiguration());
  EXPECT_EQ(Bytes(reader.video_config().box().begin(), reader.video_config().box().end()),
            Padded(video));
  EXPECT_EQ(Bytes(reader.audio_config().box().begin(), reader.audio_config().box().end()),
            Padded(audio));
  EXPECT_FALSE(reader.LoadConfiguration()) << "loaded once per part";
  EXPECT_EQ(reader.error(), 0);
}

TEST_F(StreamReaderConfig, MissingConfigFlagLoadsNothing) {
  Start(reader, 5);
  EXPECT_FALSE(reader.LoadConfiguration());
  EXPECT_FALSE(reader.config_loaded());
  EXPECT_EQ(reader.error(), 0);
}

TEST_F(StreamReaderConfig, FirstBoxPastTheSectorEndIsRejectedWith2224) {
  Bytes big = testsupport::MakeBox({kStreamVideo, kSampleConfig, Bytes(400)});  // 424 > 384
  testsupport::PutConfiguration(region, 0, Bytes(big.begin(), big.begin() + 24), {});
  Start(reader, 0);
  EXPECT_FALSE(reader.LoadConfiguration());
  EXPECT_EQ(reader.error(), 2224);
}

TEST_F(StreamReaderConfig, SecondBoxPastTheSectorEndLoadsNothingWithoutACode) {
  Bytes tooLong = testsupport::MakeBox({kStreamAudio, kSampleConfig, Bytes(8)});
  base::store_be32(tooLong.data(), 360);  // 128 + 36 + 360 > 512
  testsupport::PutConfiguration(region, 0, testsupport::VideoConfigBox({0x67}, {0x68}), tooLong);
  Start(reader, 0);
  EXPECT_FALSE(reader.LoadConfiguration());
  EXPECT_FALSE(reader.config_loaded());
  EXPECT_EQ(reader.error(), 0);
}

TEST_F(StreamReaderConfig, UnreadableInformationSectorIs9834) {
  region.fail_sector(255);
  Start(reader, 0);
  EXPECT_FALSE(reader.LoadConfiguration());
  EXPECT_EQ(reader.error(), 9834);
}

TEST(StreamReaderKeyFrames, RejectedHeaderReadOntoTheRangeEndStopsTheSearch) {
  MemoryRegion region(1024);
  StreamLayout layout(region, 20, 500);  // an audio header from sector 20 into sector 21
  layout.AppendBox(Audio(40, 1));
  layout.AppendBox(KeyFrame(40, 2));  // past the range end
  StreamReader r(region);
  r.set_range_end(21);
  Start(r, 20);
  EXPECT_FALSE(r.FindKeyFrame(true));
  Start(r, 20);
  EXPECT_TRUE(r.FindKeyFrame(false)) << "without the range the key frame is found";
}

TEST(StreamReaderKeyFrames, ResyncAfterADamagedHeaderSkipsToTheNextKeyFrame) {
  MemoryRegion region(1024);
  StreamLayout layout(region, 0);
  layout.AppendBox(Delta(40, 1));
  const uint32_t damagedAt = layout.offset();
  layout.AppendBox(Delta(40, 2));
  layout.AppendBox(MakeBox({kStreamVideo, kSampleKeyFrame, Bytes(8), false, 2000000}));  // bad size
  layout.AppendBox(Delta(40, 3));
  const Bytes key = KeyFrame(40, 4);
  layout.AppendBox(key);
  region.sector(0)[damagedAt + 4] = 'X';  // the second box loses its magic
  StreamReader r(region);
  r.set_range_end(600);
  Start(r, 0);
  ASSERT_TRUE(r.ReadNextBox());
  EXPECT_FALSE(r.ReadNextBox());
  EXPECT_TRUE(r.header_rejected());
  ASSERT_TRUE(r.ResyncAtKeyFrame());
  EXPECT_EQ(Current(r), Padded(key));

  // The end box is no damage: nothing is searched after it.
  MemoryRegion ended(1024);
  StreamLayout tail(ended, 0);
  tail.AppendBox(MakeBox({kStreamVideo, 0, {}}));
  tail.AppendBox(key);
  StreamReader e(ended);
  e.set_range_end(600);
  Start(e, 0);
  ASSERT_TRUE(e.ReadNextBox());
  EXPECT_FALSE(e.ReadNextBox());
  EXPECT_FALSE(e.header_rejected());
  EXPECT_FALSE(e.ResyncAtKeyFrame());
}
