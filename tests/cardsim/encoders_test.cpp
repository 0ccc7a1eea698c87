// The simulator's encoders produce streams a real decoder accepts, and the configuration pair
// fits the information sector.
#include <gtest/gtest.h>

#include <fstream>

#include "base/endian.h"
#include "cardsim/elementary_stream.h"
#include "cardsim/media_set.h"
#include "cardsim/qbox_writer.h"
#include "support/temp_dir.h"

namespace {

using namespace cardsim;
using testsupport::HaveProgram;
using testsupport::RunCommand;
using testsupport::TempDir;

MediaParams SmallParams() {
  MediaParams p;
  p.width = 352;
  p.height = 288;
  p.gop_count = 2;
  p.video_bit_rate = 300000;
  p.seed = 7;
  return p;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

TEST(CardsimEncoders, ClosedGopsWithKeyFramesOnTheGrid) {
  std::string error;
  auto media = GetMediaSet(SmallParams(), error);
  ASSERT_TRUE(media) << error;
  ASSERT_EQ(media->video.pictures.size(), 50u);
  for (size_t i = 0; i < 50; ++i) EXPECT_EQ(media->video.pictures[i].key, i % 25 == 0) << i;
  EXPECT_EQ(media->video.sps[0] & 0x1F, 7);
  EXPECT_EQ(media->video.pps[0] & 0x1F, 8);
  // Every picture is a well-formed length-prefixed NAL sequence of slices only.
  for (const auto& picture : media->video.pictures) {
    size_t at = 0;
    while (at < picture.nals.size()) {
      ASSERT_LE(at + 4, picture.nals.size());
      const uint32_t len = base::load_be32(&picture.nals[at]);
      ASSERT_GT(len, 0u);
      ASSERT_LE(at + 4 + len, picture.nals.size());
      const int type = picture.nals[at + 4] & 0x1F;
      EXPECT_TRUE(type == 1 || type == 5) << type;
      at += 4 + len;
    }
  }
  EXPECT_EQ(media->audio.asc.size(), 2u);
  for (const auto& frame : media->audio.frames) EXPECT_GE(frame.size(), 8u);
}

TEST(CardsimEncoders, FfprobeDecodesEveryPictureAndAudioFrame) {
  if (!HaveProgram("ffprobe")) GTEST_SKIP() << "ffprobe not installed";
  std::string error;
  auto media = GetMediaSet(SmallParams(), error);
  ASSERT_TRUE(media) << error;
  std::vector<uint8_t> h264, aac;
  AppendAnnexBNal(media->video.sps, h264);
  AppendAnnexBNal(media->video.pps, h264);
  for (int cycle = 0; cycle < 2; ++cycle)  // replayed GOPs still decode
    for (const auto& picture : media->video.pictures) AppendAnnexB(picture.nals, h264);
  for (const auto& frame : media->audio.frames) {
    const auto header = AdtsHeader(48000, 1, 7 + frame.size());
    aac.insert(aac.end(), header.begin(), header.end());
    aac.insert(aac.end(), frame.begin(), frame.end());
  }
  TempDir dir;
  WriteFile(dir / "v.264", h264);
  WriteFile(dir / "a.aac", aac);
  const auto v = RunCommand("ffprobe -v error -count_frames -show_entries "
                            "stream=codec_name,width,height,nb_read_frames -of csv=p=0 " +
                            dir / "v.264");
  EXPECT_EQ(v.status, 0);
  EXPECT_EQ(v.output, "h264,352,288,100\n");
  const auto a = RunCommand("ffprobe -v error -count_frames -show_entries "
                            "stream=codec_name,sample_rate,channels,nb_read_frames -of csv=p=0 " +
                            dir / "a.aac");
  EXPECT_EQ(a.status, 0);
  EXPECT_EQ(a.output, "aac,48000,1," + std::to_string(media->audio.frames.size()) + "\n");
}

TEST(CardsimEncoders, ConfigPairHoldsVideoThenAudioBoxWithinItsField) {
  std::string error;
  for (auto [w, h] : {std::pair{352, 288}, std::pair{720, 576}}) {
    MediaParams p = SmallParams();
    p.width = w;
    p.height = h;
    p.channels = 2;
    auto media = GetMediaSet(p, error);
    ASSERT_TRUE(media) << error;
    std::array<uint8_t, kConfigPairSize> pair{};
    ASSERT_TRUE(BuildConfigPair(*media, pair, error)) << error;
    const uint32_t vsize = base::load_be32(&pair[0]);
    EXPECT_EQ(std::string(pair.begin() + 4, pair.begin() + 8), "qbox");
    EXPECT_EQ(base::load_be16(&pair[12]), kStreamVideo);
    EXPECT_EQ(base::load_be32(&pair[16]), kSampleConfig);
    EXPECT_EQ(vsize, 24 + 8 + media->video.sps.size() + media->video.pps.size());
    const size_t a = RoundUp4(vsize);
    EXPECT_EQ(base::load_be16(&pair[a + 12]), kStreamAudio);
    EXPECT_EQ(base::load_be32(&pair[a + 16]), kSampleConfig | kSamplePrefix);
    EXPECT_EQ(base::load_be32(&pair[a + 24]), 48000u);  // prefix: rate at +0
    EXPECT_EQ(base::load_be32(&pair[a + 32]), 2u);      // channels at +8
    EXPECT_EQ(base::load_be32(&pair[a]), 24u + 16 + media->audio.asc.size());
  }
}

TEST(CardsimEncoders, AdtsHeaderMatchesTheStandardLayout) {
  // 48 kHz (index 3), mono, 371-byte frame.
  const auto h = AdtsHeader(48000, 1, 371);
  const std::array<uint8_t, 7> expected = {0xFF, 0xF1, 0x4C, 0x40, 0x2E, 0x7F, 0xFC};
  EXPECT_EQ(h, expected);
  EXPECT_EQ(AdtsHeader(44100, 2, 100)[2], 0x40 | (4 << 2));
  EXPECT_EQ(AdtsHeader(9391, 1, 100)[2], 0x40 | (10 << 2));
  EXPECT_EQ(AdtsHeader(9390, 1, 100)[2], 0x40 | (11 << 2));
}

}  // namespace
