#include "convert/box_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "convert/adts.h"
#include "convert/qbox_builder.h"
#include "support/temp_dir.h"

using namespace convert;
using namespace convert::qbox;
using testsupport::Bytes;
using testsupport::MakeBox;

namespace {

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

size_t FilesIn(const std::filesystem::path& dir) {
  return size_t(std::distance(std::filesystem::directory_iterator(dir), {}));
}

}  // namespace

TEST(Adts, HeaderBytesForStereo48kHz) {
  uint8_t h[7];
  MakeAdtsHeader(h, 48000, 2, 7 + 371);  // frame length 378 = 0x17A
  const uint8_t expected[7] = {
      0xFF,  // syncword 0xFFF (high 8 bits)
      0xF1,  // syncword low nibble, ID 0 (MPEG-4), layer 00, protection absent 1
      0x4C,  // profile 01 (AAC LC), sampling index 3 (48000), private 0, channels high bit 0
      0x80,  // channels low 2 bits 10 (2), orig/home/copyright 0, frame length bits 12..11 = 0
      0x2F,  // frame length bits 10..3: 378 >> 3 = 47
      0x5F,  // frame length bits 2..0 = 010, buffer fullness high 5 bits 11111
      0xFC,  // buffer fullness low 6 bits 111111, one raw data block (00)
  };
  EXPECT_EQ(0, memcmp(h, expected, 7));
}

TEST(Adts, LongMonoFrameAt16kHz) {
  uint8_t h[7];
  MakeAdtsHeader(h, 16000, 1, 0x1ABC);
  EXPECT_EQ(h[2], 0x40 | (8 << 2));             // index 8, channels high bit 0
  EXPECT_EQ(h[3], (1 << 6) | (0x1ABC >> 11));   // mono, length bits 12..11 = 11
  EXPECT_EQ(h[4], uint8_t(0x1ABC >> 3));
  EXPECT_EQ(h[5], uint8_t((0x1ABC << 5) | 0x1F));
}

TEST(Adts, SamplingFrequencyIndexFollowsTheRateRanges) {
  const std::pair<uint32_t, int> cases[] = {
      {96000, 0}, {92017, 0}, {92016, 1}, {88200, 1}, {75132, 1}, {75131, 2}, {64000, 2},
      {55426, 2}, {55425, 3}, {48000, 3}, {46009, 3}, {46008, 4}, {44100, 4}, {37566, 4},
      {37565, 5}, {32000, 5}, {27713, 5}, {27712, 6}, {24000, 6}, {23004, 6}, {23003, 7},
      {22050, 7}, {18783, 7}, {18782, 8}, {16000, 8}, {13856, 8}, {13855, 9}, {12000, 9},
      {11502, 9}, {11501, 10}, {11025, 10}, {9391, 10}, {9390, 11}, {8000, 11}, {0, 11},
  };
  for (auto [rate, index] : cases) EXPECT_EQ(SamplingFrequencyIndex(rate), index) << rate;
}

TEST(QboxPayload, NalWalkStopsAtZeroNegativeOrOverlongLengths) {
  const Bytes a = {0x65, 1, 2}, b = {0x41, 9};
  std::vector<Bytes> seen;
  auto collect = [&](std::span<const uint8_t> u) { seen.emplace_back(u.begin(), u.end()); };

  Bytes zero = testsupport::NalPayload({a});
  zero.insert(zero.end(), {0, 0, 0, 0, 0x41, 7, 7});  // length 0, then bytes that look like a NAL
  Bytes more = testsupport::NalPayload({b});
  zero.insert(zero.end(), more.begin(), more.end());
  EXPECT_EQ(ForEachNal(zero, collect), 1u);
  EXPECT_EQ(seen, std::vector<Bytes>{a});

  seen.clear();
  Bytes negative = testsupport::NalPayload({a});
  negative.insert(negative.end(), {0x80, 0, 0, 1, 5, 5});
  EXPECT_EQ(ForEachNal(negative, collect), 1u);

  Bytes overlong = {0, 0, 0, 9, 1, 2, 3};
  EXPECT_EQ(ForEachNal(overlong, collect), 0u);
  EXPECT_EQ(ForEachNal(Bytes{0, 0, 0, 1}, collect), 0u) << "4 bytes left end the walk";
}

TEST(QboxPayload, LongHeaderPayloadIsBoundedByTheBox) {
  Bytes box = MakeBox({kStreamAudio, 0, Bytes(10, 0xAA), true});
  EXPECT_EQ(SplitPayload(box).data.size(), 10u);
  base::store_be32(&box[28], 5000);  // claims more than the box holds
  EXPECT_EQ(SplitPayload(box).data.size(), 10u);
  Bytes shortPrefixed = MakeBox({kStreamAudio, kSampleInfo, Bytes(8)});
  const Payload p = SplitPayload(shortPrefixed);
  EXPECT_EQ(p.prefix, nullptr);
  EXPECT_TRUE(p.data.empty());
}

class BoxWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::PutConfiguration(region, 0, testsupport::VideoConfigBox(sps, pps),
                                  testsupport::AudioConfigBox(44100, 1));
    reader.Reset();
    reader.set_sector_index(0);
    ASSERT_TRUE(reader.StepSector(0));
    ASSERT_TRUE(reader.LoadConfiguration());
    writer.BeginPart(dir.path().string() + "/");
  }

  testsupport::TempDir dir;
  testsupport::MemoryRegion region{1024};
  StreamReader reader{region};
  AudioFormat format;
  BoxWriter writer{format};
  Bytes sps = {0x67, 0x42, 0x00, 0x1E}, pps = {0x68, 0xCE, 0x3C, 0x80};
};

TEST_F(BoxWriterTest, WritesStartCodesAndAdtsFramesAfterTheConfiguration) {
  const Bytes idr = {0x65, 0x88, 0x84}, slice = {0x41, 0x9A};
  ASSERT_TRUE(writer.WriteBox(
      MakeBox({kStreamVideo, kSampleKeyFrame | kSampleInfo,
               [&] {
                 Bytes p(16, 0xEE);  // sample-info prefix, skipped
                 Bytes n = testsupport::NalPayload({idr, slice});
                 p.insert(p.end(), n.begin(), n.end());
                 return p;
               }()}),
      reader));
  const Bytes frame = {0x21, 0x10, 0x04, 0x60};
  ASSERT_TRUE(writer.WriteBox(MakeBox({kStreamAudio, 0, frame, true}), reader));

  ASSERT_TRUE(writer.files().Close());
  const Bytes expectedVideo = {0, 0, 0, 1, 0x67, 0x42, 0x00, 0x1E, 0, 0, 0, 1, 0x68, 0xCE,
                               0x3C, 0x80, 0, 0, 0, 1, 0x65, 0x88, 0x84, 0, 0, 0, 1, 0x41, 0x9A};
  EXPECT_EQ(ReadFile(writer.files().video_path()), expectedVideo);
  // The audio configuration is not written; it sets 44100 Hz mono for the frame after it.
  const Bytes expectedAudio = {0xFF, 0xF1, 0x50, 0x40, 0x01, 0x7F, 0xFC, 0x21, 0x10, 0x04, 0x60};
  EXPECT_EQ(ReadFile(writer.files().audio_path()), expectedAudio);
  EXPECT_EQ(writer.bytes_written(), int64_t(expectedVideo.size() + expectedAudio.size()));
  EXPECT_EQ(format.sampleRate, 44100u);
}

TEST_F(BoxWriterTest, TemporaryFilesCarryTheHcTemplateAndAreRemovedWithTheWriter) {
  ASSERT_TRUE(writer.WriteBox(MakeBox({kStreamAudio, 0, {1, 2}}), reader));
  const std::string video = writer.files().video_path();
  const std::string name = std::filesystem::path(video).filename().string();
  EXPECT_EQ(name.size(), 12u);
  EXPECT_EQ(name.substr(0, 2), "hc");
  EXPECT_EQ(name.substr(8), ".264");
  EXPECT_EQ(writer.files().audio_path(), video.substr(0, video.size() - 3) + "aac");
  EXPECT_EQ(FilesIn(dir.path()), 2u);
  writer.BeginPart(dir.path().string() + "/");
  EXPECT_EQ(FilesIn(dir.path()), 0u);
}

TEST_F(BoxWriterTest, RefusesWhatCannotBeWritten) {
  EXPECT_FALSE(writer.WriteBox(MakeBox({kStreamVideo, kSampleConfig, {}}), reader));
  EXPECT_FALSE(writer.WriteBox(MakeBox({0x0004, 0, {1}}), reader));
  EXPECT_EQ(writer.error(), 4608);

  testsupport::MemoryRegion empty(1024);
  StreamReader unconfigured(empty);
  BoxWriter other(format);
  other.BeginPart(dir.path().string() + "/");
  EXPECT_FALSE(other.WriteBox(MakeBox({kStreamAudio, 0, {1}}), unconfigured));
}

TEST_F(BoxWriterTest, UncreatableOrOverlongTemporaryPathsFail) {
  writer.BeginPart(dir.path().string() + "/missing/");
  EXPECT_FALSE(writer.WriteBox(MakeBox({kStreamAudio, 0, {1}}), reader));
  EXPECT_EQ(writer.error(), 1224);

  const std::string deep = dir.path().string() + "/" + std::string(250, 'd') + "/";
  std::filesystem::create_directory(deep);
  writer.BeginPart(deep);
  EXPECT_FALSE(writer.WriteBox(MakeBox({kStreamAudio, 0, {1}}), reader));
  EXPECT_EQ(writer.error(), 2259);
  EXPECT_TRUE(std::filesystem::is_empty(deep));
}

TEST_F(BoxWriterTest, EmptyOrOversizedAudioFramesAreLeftOut) {
  ASSERT_TRUE(writer.WriteBox(MakeBox({kStreamAudio, 0, {}}), reader));
  ASSERT_TRUE(writer.WriteBox(MakeBox({kStreamAudio, 0, Bytes(8200)}), reader));
  ASSERT_TRUE(writer.files().Close());
  EXPECT_TRUE(ReadFile(writer.files().audio_path()).empty());
}

TEST_F(BoxWriterTest, AudioWithoutPrefixUsesTheLastFormatSeen) {
  format.sampleRate = 8000;
  format.channels = 2;
  testsupport::MemoryRegion plain(1024);
  testsupport::PutConfiguration(plain, 0, testsupport::VideoConfigBox(sps, pps),
                                MakeBox({kStreamAudio, kSampleConfig, {0x12, 0x10}}));
  StreamReader r(plain);
  r.Reset();
  ASSERT_TRUE(r.StepSector(0));
  ASSERT_TRUE(r.LoadConfiguration());
  BoxWriter w(format);
  w.BeginPart(dir.path().string() + "/");
  ASSERT_TRUE(w.WriteBox(MakeBox({kStreamAudio, 0, {7}}), r));
  ASSERT_TRUE(w.files().Close());
  const Bytes audio = ReadFile(w.files().audio_path());
  ASSERT_EQ(audio.size(), 8u);
  EXPECT_EQ(audio[2], 0x40 | (11 << 2));  // 8000 Hz
  EXPECT_EQ(audio[3] >> 6, 2);            // stereo
}
