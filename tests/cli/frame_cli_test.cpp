// korvan-cli frame and convert --range-blocks on a simulated card: the picture and the map as
// 360 x 288 RGB PNG files with the battery line, the failures, and a range given as slider
// positions converted into a playable file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "cardsim/card_writer.h"
#include "support/temp_dir.h"

namespace {

using testsupport::RunCommand;
using testsupport::TempDir;

const std::string kCli = KORVAN_CLI_PATH;

cardsim::Scenario Card(bool infoOnly) {
  cardsim::Scenario s;
  s.seed = 4;
  s.width = 352;
  s.height = 288;
  s.partition_file_bytes = {2u << 20};
  s.info_only = infoOnly;
  cardsim::RecordingSpec r;
  r.start = cardsim::CivilTime{2014, 3, 5, 14, 7, 9};
  r.duration_s = 4;
  s.recordings.push_back(r);
  return s;
}

// The PNG's pixels as ffmpeg decodes them (rgb24), or empty.
std::string Pixels(const TempDir& dir, const std::string& png) {
  RunCommand("ffmpeg -v error -y -i " + png + " -f rawvideo -pix_fmt rgb24 " + (dir / "px.raw"));
  std::ifstream in(dir / "px.raw", std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(FrameCli, WritesThePictureAndTheMapWithTheBatteryLine) {
  if (!testsupport::HaveProgram("ffprobe")) GTEST_SKIP() << "ffprobe is not installed";
  TempDir dir;
  ASSERT_TRUE(cardsim::WriteCardToFolder(Card(false), dir / "card").ok);
  const auto frame = RunCommand(kCli + " frame " + (dir / "card") + " 0 1 " + (dir / "f.png") + " 2>/dev/null");
  ASSERT_EQ(frame.status, 0) << frame.output;
  EXPECT_EQ(frame.output.rfind("заряд: ", 0), 0u) << frame.output;
  EXPECT_NE(frame.output.find("v (~"), std::string::npos);
  const auto probe = RunCommand("ffprobe -v error -show_entries stream=codec_name,width,height,pix_fmt "
                                "-of csv=p=0 " + (dir / "f.png"));
  EXPECT_EQ(probe.output, "png,360,288,rgb24\n");
  EXPECT_EQ(Pixels(dir, dir / "f.png").size(), 360u * 288 * 3);

  ASSERT_EQ(RunCommand(kCli + " frame " + (dir / "card") + " 0 1 " + (dir / "m.png") + " --map 2>/dev/null").status, 0);
  const std::string map = Pixels(dir, dir / "m.png");
  ASSERT_EQ(map.size(), 360u * 288 * 3);
  std::set<int> levels;
  for (size_t i = 0; i < map.size(); i += 3) {
    ASSERT_TRUE(map[i] == map[i + 1] && map[i] == map[i + 2]) << "grey pixels only";
    levels.insert(uint8_t(map[i]));
  }
  for (int level : levels) EXPECT_TRUE(level == 24 || level == 92 || level == 160 || level == 228) << level;
  EXPECT_EQ(uint8_t(map[0]), 24);  // the border lines
}

TEST(FrameCli, FailuresExitWithTheirStatus) {
  TempDir dir;
  ASSERT_TRUE(cardsim::WriteCardToFolder(Card(false), dir / "card").ok);
  EXPECT_EQ(RunCommand(kCli + " frame " + (dir / "card") + " 0 " + (dir / "f.png")).status, 2);
  EXPECT_EQ(RunCommand(kCli + " frame " + (dir / "card") + " 0 x " + (dir / "f.png")).status, 2);
  EXPECT_EQ(RunCommand(kCli + " frame " + (dir / "card") + " 0 9 " + (dir / "f.png")).status, 1);
  EXPECT_EQ(RunCommand(kCli + " frame " + (dir / "card") + " 4 0 " + (dir / "f.png")).status, 1);
  EXPECT_FALSE(std::filesystem::exists(dir / "f.png"));

  TempDir empty;
  ASSERT_TRUE(cardsim::WriteCardToFolder(Card(true), empty / "card").ok);
  const auto none = RunCommand(kCli + " frame " + (empty / "card") + " 0 0 " + (empty / "f.png"));
  EXPECT_EQ(none.status, 1);
  EXPECT_NE(none.output.find("no key frame"), std::string::npos) << none.output;
}

TEST(ConvertCli, RangeOfSliderPositionsConvertsLikeThePreviewButtons) {
  if (!testsupport::HaveProgram("ffprobe")) GTEST_SKIP() << "ffprobe is not installed";
  TempDir dir;
  const cardsim::CardResult card = cardsim::WriteCardToFolder(Card(false), dir / "card");
  ASSERT_TRUE(card.ok);
  std::filesystem::create_directory(dir / "out");
  const auto run = RunCommand(kCli + " convert " + (dir / "card") + " " + (dir / "out") +
                              " --range-blocks 1 2 --record 0");
  ASSERT_EQ(run.status, 0) << run.output;
  const std::string mp4 = dir / ("out/" + card.recordings[0].stamp + "_001.mp4");
  EXPECT_NE(run.output.find(mp4), std::string::npos) << run.output;
  const auto probe = RunCommand("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                "stream=nb_read_frames -of csv=p=0 " + mp4);
  ASSERT_EQ(probe.status, 0);
  const unsigned long frames = std::stoul(probe.output);
  EXPECT_GT(frames, 0u);
  EXPECT_LT(frames, card.recordings[0].stats.video_frames);  // a part of the recording only
  EXPECT_EQ(frames % 25, 0u);  // from one key frame to another
  EXPECT_EQ(RunCommand(kCli + " convert " + (dir / "card") + " " + (dir / "out") +
                       " --range-blocks 0 7 --record 0").status, 1);
}

}  // namespace
