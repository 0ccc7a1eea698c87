// korvan-cli convert on cards that used to lose recordings: recordings sharing one start stamp,
// repeated runs, and scans that stop before the ring end.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cardsim/card_writer.h"
#include "support/temp_dir.h"

using testsupport::Lines;
using testsupport::Names;
using testsupport::RunCommand;
using testsupport::TempDir;

namespace {

std::string Quote(const std::string& s) { return "'" + s + "'"; }

// A small card of `count` real recordings of three blocks each, in two partition files.
cardsim::CardResult WriteCard(const std::string& folder, int count, bool sameStart) {
  cardsim::Scenario s;
  s.width = 352;
  s.height = 288;
  s.partition_file_bytes = {1u << 20, 1u << 20};
  s.recordings.resize(size_t(count));
  for (auto& r : s.recordings) {
    r.blocks = 3;
    if (sameStart) r.start = cardsim::CivilTime{2000, 1, 1, 0, 0, 0};  // clock never set
  }
  return cardsim::WriteCardToFolder(s, folder);
}

struct ConvertRun {
  int status = -1;
  std::vector<std::string> paths;  // stdout lines
  std::string errors;
};

ConvertRun Convert(const TempDir& dir, const std::string& options = "") {
  const std::string errors = dir / "stderr.txt";
  const auto r = RunCommand("(" + std::string(KORVAN_CLI_PATH) + " convert " + Quote(dir / "card") +
                            " " + Quote(dir / "out") + " " + options + " 2>" + Quote(errors) + ")");
  std::ifstream in(errors);
  return {r.status, Lines(r.output), std::string(std::istreambuf_iterator<char>(in), {})};
}

}  // namespace

TEST(ConvertReliability, SharedStampsGetNumberedNamesAndRepeatedRunsOverwriteOrSkip) {
  TempDir dir;
  const cardsim::CardResult card = WriteCard(dir / "card", 3, true);
  ASSERT_TRUE(card.ok) << card.error;
  ASSERT_EQ(card.recordings[0].stamp, card.recordings[2].stamp);
  std::filesystem::create_directory(dir / "out");
  const std::string stamp = card.recordings[0].stamp;
  const std::vector<std::string> expected = {dir / ("out/" + stamp + ".mp4"),
                                             dir / ("out/" + stamp + "-2.mp4"),
                                             dir / ("out/" + stamp + "-3.mp4")};

  const ConvertRun first = Convert(dir);
  ASSERT_EQ(first.status, 0) << first.errors;
  EXPECT_EQ(first.paths, expected);
  for (const std::string& p : expected)
    EXPECT_EQ(RunCommand(std::string(KORVAN_CLI_PATH) + " verify " + Quote(p)).status, 0) << p;

  const ConvertRun skipping = Convert(dir, "--skip-existing");
  EXPECT_EQ(skipping.status, 0) << skipping.errors;
  EXPECT_TRUE(skipping.paths.empty()) << "nothing new to convert";
  EXPECT_EQ(Lines(skipping.errors).size(), 3u) << skipping.errors;

  // Without --skip-existing each recording is written again over its own file only.
  const ConvertRun again = Convert(dir, "--records 2,0");
  ASSERT_EQ(again.status, 0) << again.errors;
  EXPECT_EQ(again.paths, (std::vector<std::string>{expected[2], expected[0]}));
  EXPECT_EQ(Names(dir / "out").size(), 3u);
}

TEST(ConvertReliability, AForeignFileUnderTheStampIsKept) {
  TempDir dir;
  ASSERT_TRUE(WriteCard(dir / "card", 1, false).ok);
  std::filesystem::create_directory(dir / "out");
  const ConvertRun probe = Convert(dir);
  ASSERT_EQ(probe.paths.size(), 1u);
  const std::string taken = probe.paths[0];
  std::ofstream(taken, std::ios::trunc) << "the user's own file";
  const ConvertRun run = Convert(dir, "--skip-existing");
  ASSERT_EQ(run.status, 0) << run.errors;
  ASSERT_EQ(run.paths.size(), 1u);
  EXPECT_EQ(run.paths[0], taken.substr(0, taken.size() - 4) + "-2.mp4");
  std::ifstream in(taken);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "the user's own file");
}

TEST(ConvertReliability, ACutPartitionFileFailsTheRunButKeepsWhatWasConverted) {
  TempDir dir;
  // Recordings in blocks 1-3, 4-6 and 7-9; the second file (blocks 8-15) keeps one block.
  ASSERT_TRUE(WriteCard(dir / "card", 3, false).ok);
  std::filesystem::resize_file(dir / "card/hcpt0001.hcf", 128 * 1024);
  std::filesystem::create_directory(dir / "out");
  const ConvertRun run = Convert(dir);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.paths.size(), 2u) << run.errors;
  EXPECT_EQ(Names(dir / "out").size(), 2u) << "the files written stay";
  EXPECT_NE(run.errors.find("may be missing"), std::string::npos) << run.errors;
  EXPECT_NE(run.errors.find("up to "), std::string::npos) << run.errors;
}

TEST(ConvertReliability, AZeroedServiceSectorIsNamedAsSuch) {
  TempDir dir;
  ASSERT_TRUE(WriteCard(dir / "card", 1, false).ok);
  {
    std::fstream f(dir / "card/hc00info.hcf", std::ios::in | std::ios::out | std::ios::binary);
    const std::string zeros(512, '\0');
    f.write(zeros.data(), 512);
  }
  std::filesystem::create_directory(dir / "out");
  const ConvertRun run = Convert(dir);
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.paths.empty());
  EXPECT_NE(run.errors.find("service sector"), std::string::npos) << run.errors;
  EXPECT_EQ(run.errors.find("unreadable block"), std::string::npos) << run.errors;
}
