// Writing a simulated card into a marked FAT32 volume image: the same sectors land inside the
// hc files as an image folder would hold, the file system stays clean, and the card layer
// opens the result with the ring the simulator reports.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "card/card_medium.h"
#include "cardsim/card_writer.h"
#include "cardsim/volume_image_sink.h"
#include "cardsim/volume_maker.h"
#include "platform/notice_sink.h"
#include "support/fat_image.h"
#include "support/temp_dir.h"

namespace {

using namespace cardsim;
using testsupport::RunCommand;
using testsupport::TempDir;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

Scenario VolumeScenario() {
  Scenario s;
  s.seed = 21;
  s.width = 352;
  s.height = 288;
  s.ring_start_block = 10;
  RecordingSpec r;
  r.duration_s = 6;
  s.recordings.push_back(r);
  r.duration_s = 3;
  r.gap_blocks = 1;
  s.recordings.push_back(r);
  return s;
}

TEST(CardsimVolumeImage, WritesTheSameSectorsIntoTheHcFiles) {
  if (!testsupport::HaveFatTools()) GTEST_SKIP() << "mkfs.fat/mtools missing";
  TempDir dir;
  const std::string image = dir / "card.img";
  const std::vector<uint64_t> parts = {1u << 20, 1u << 20, 1u << 20};  // 24 blocks
  ASSERT_TRUE(testsupport::MakeMarkedVolume(image, dir.path().string(), 64 * 1024, parts));
  const CardResult written = WriteCardToVolumeImage(VolumeScenario(), image);
  ASSERT_TRUE(written.ok) << written.error;
  EXPECT_EQ(written.geometry.N_rsf, 3u);
  EXPECT_EQ(written.N_s_s, 24u);

  // The card layer sees the ring the simulator wrote, at the volume's own rsr_sectnum.
  platform::NullNoticeSink notices;
  card::CardMedium medium(notices);
  ASSERT_TRUE(medium.OpenMedium(image));
  ASSERT_TRUE(medium.marked);
  EXPECT_EQ(written.rsr_sectnum, medium.partitionStart + medium.hcpt0000Sector);
  EXPECT_EQ(medium.serviceSector.rsr_sectnum(), written.rsr_sectnum);
  EXPECT_EQ(medium.s_s_bgn, 10u);
  EXPECT_EQ(medium.s_s_end, written.recordings.back().last_block);

  // Byte for byte what an image folder with that rsr_sectnum holds.
  Scenario same = VolumeScenario();
  same.partition_file_bytes = parts;
  same.rsr_sectnum = written.rsr_sectnum;
  ASSERT_TRUE(WriteCardToFolder(same, dir / "folder").ok);
  for (const char* name : {"hcpt0000.hcf", "hcpt0001.hcf", "hcpt0002.hcf", "hc01info.hcf"}) {
    const auto copy = RunCommand("MTOOLS_SKIP_CHECK=1 mcopy -n -i '" + image + "' ::" + name +
                                 " '" + dir / ("out-" + std::string(name)) + "'");
    ASSERT_EQ(copy.status, 0) << copy.output;
    const std::string got = ReadAll(dir / ("out-" + std::string(name)));
    const std::string want = ReadAll(dir / ("folder/" + std::string(name)));
    ASSERT_GE(got.size(), want.size()) << name;
    EXPECT_TRUE(got.compare(0, want.size(), want) == 0) << name << " differs";
  }
  if (testsupport::HaveProgram("fsck.fat")) {
    const auto fsck = RunCommand("fsck.fat -n '" + image + "'");
    EXPECT_EQ(fsck.status, 0) << fsck.output;
  }
}

TEST(CardsimVolumeImage, RefusesWhatIsNotAMarkedCardImage) {
  TempDir dir;
  std::string error;
  std::vector<uint64_t> sizes;
  EXPECT_EQ(OpenVolumeImage(dir.path().string(), sizes, error), nullptr);
  EXPECT_NE(error.find("not an image file"), std::string::npos) << error;
  EXPECT_EQ(OpenVolumeImage("/dev/null", sizes, error), nullptr);
  if (!testsupport::HaveFatTools()) return;
  const std::string empty = dir / "empty.img";
  ASSERT_TRUE(testsupport::MakeFatVolume(empty, 64 * 1024, 32));
  const std::string before = ReadAll(empty);
  const CardResult r = WriteCardToVolumeImage(VolumeScenario(), empty);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("not a marked FAT32 card"), std::string::npos) << r.error;
  EXPECT_TRUE(ReadAll(empty) == before) << "a refused image must stay untouched";
}

TEST(CardsimVolumeImage, MadeVolumeIsAMarkedContiguousCard) {
  if (!testsupport::HaveFatTools()) GTEST_SKIP() << "mkfs.fat/mtools missing";
  TempDir dir;
  const std::string image = dir / "made.img";
  VolumeLayout layout;
  layout.partition_file_bytes = {4u << 20, 4u << 20, 2u << 20};
  std::string error;
  ASSERT_TRUE(MakeMarkedVolume(image, layout, error)) << error;
  platform::NullNoticeSink notices;
  card::CardMedium medium(notices);
  ASSERT_TRUE(medium.OpenMedium(image));
  EXPECT_TRUE(medium.marked);
  EXPECT_TRUE(medium.geometry.isFat32);
  // The raw directory walk accepts every partition file: the recorder's view of the region.
  EXPECT_EQ(medium.dirRegionSectors, (10u << 20) / 512);
  EXPECT_EQ(medium.region.N_rsf, 3u);
  const CardResult r = WriteCardToVolumeImage(VolumeScenario(), image);
  ASSERT_TRUE(r.ok) << r.error;
  if (testsupport::HaveProgram("fsck.fat")) {
    EXPECT_EQ(RunCommand("fsck.fat -n '" + image + "'").status, 0);
  }
  layout.partition_file_bytes = {64u << 20};
  EXPECT_FALSE(MakeMarkedVolume(image, layout, error));
  EXPECT_NE(error.find("larger volume"), std::string::npos);
}

}  // namespace
