// Post-processing files made by a real muxer (ffmpeg): players must still read and decode
// them without a complaint, and the verifier must find them intact. Skipped without ffmpeg.
#include <gtest/gtest.h>

#include <atomic>

#include "convert/integrity_block.h"
#include "convert/mp4_postprocess.h"
#include "convert/mp4_verify.h"
#include "support/mp4_builder.h"
#include "support/temp_dir.h"

namespace convert {
namespace {

using testsupport::HaveProgram;
using testsupport::RunCommand;

class Collect : public platform::NoticeSink {
 public:
  void notice(platform::NoticeKind, const std::string& text) override { texts.push_back(text); }
  std::vector<std::string> texts;
};

class FfmpegMade : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    if (!HaveProgram("ffmpeg") || !HaveProgram("ffprobe")) GTEST_SKIP() << "ffmpeg missing";
  }
  testsupport::TempDir dir;
};

TEST_P(FfmpegMade, StaysPlayableAndVerifiesIntact) {
  const std::string path = dir / "x.mp4";
  // One sample per chunk, as our muxer writes them: ffmpeg merges neighbouring samples of a
  // track into one chunk, so a picture rate near the AAC frame rate keeps them apart.
  const auto made = RunCommand(
      "ffmpeg -v error -f lavfi -i testsrc=size=176x144:rate=47 -f lavfi "
      "-i sine=frequency=440:sample_rate=48000 -t 1 -c:v libx264 -bf 0 -c:a aac "
      "-chunk_duration 1 " + std::string(GetParam()) + " -f mp4 -y '" + path + "'");
  ASSERT_EQ(made.status, 0) << made.output;

  card::ServiceSector bss, ess;
  const auto block = BuildIntegrityBlock({&bss, &ess, 1, 2, 256, 511, path});
  std::atomic<int> code{0};
  Collect sink;
  ASSERT_EQ(PostProcessMp4Outcome(path, block.data(), block.size(), code, sink),
            PostProcessOutcome::sealed);
  EXPECT_TRUE(sink.texts.empty()) << sink.texts.front();

  const auto probe = RunCommand("ffprobe -v error -show_streams '" + path + "'");
  EXPECT_EQ(probe.status, 0);
  EXPECT_NE(probe.output.find("codec_name=h264"), std::string::npos);
  EXPECT_NE(probe.output.find("codec_name=aac"), std::string::npos);
  EXPECT_EQ(probe.output.find("rror"), std::string::npos) << probe.output;
  const auto decode = RunCommand("ffmpeg -v error -i '" + path + "' -f null -");
  EXPECT_EQ(decode.status, 0);
  EXPECT_EQ(decode.output, "");

  const VerifyResult r = VerifyMp4(path);
  EXPECT_EQ(r.status, VerifyStatus::intact) << r.problem;
  EXPECT_EQ(r.record.videoSamples, 47u);
  EXPECT_GT(r.record.audioSamples, 40u);

  // The walk gets past ffmpeg's "udta"/"meta" boxes and finds the record again.
  EXPECT_EQ(PostProcessMp4Outcome(path, block.data(), block.size(), code, sink),
            PostProcessOutcome::alreadySealed);
}

INSTANTIATE_TEST_SUITE_P(MovieAtEndOrStart, FfmpegMade,
                         ::testing::Values("", "-movflags +faststart"));

}  // namespace
}  // namespace convert
