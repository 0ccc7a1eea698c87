// korvan-cli mark and format on sparse volume images made by mkfs.fat, judged by the field's
// own tools: fsck.fat finds nothing, mdir lists exactly the card files with their sizes,
// mcopy reads them back, and info reports a marked card with the layout. Also a whole-disk
// image (by file and on a loop device) and the refusals.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

#include "support/fat_image.h"
#include "support/loop_device.h"
#include "support/temp_dir.h"

namespace {

using json = nlohmann::json;
using testsupport::RunCommand;
using testsupport::TempDir;

const std::string kCli = KORVAN_CLI_PATH;
const std::string kMtools = "MTOOLS_SKIP_CHECK=1 ";

json CliJson(const std::string& args, int expectStatus = 0) {
  const auto r = RunCommand(kCli + " " + args + " 2>/dev/null");
  EXPECT_EQ(r.status, expectStatus) << args << "\n" << r.output;
  return json::parse(r.output, nullptr, false);
}

std::string Hash(const std::string& path) {
  return RunCommand("md5sum < '" + path + "'").output;
}

// Checks a marked volume image (or a partition by mtools' @@offset) with the peers.
void ExpectReadyCard(const std::string& medium, const std::string& mtoolsImage,
                     const json& marked, const std::string& what) {
  SCOPED_TRACE(what);
  const int n = marked["fileCount"];
  const uint64_t s = marked["standardFileBytes"], l = marked["lastFileBytes"];
  // mdir: exactly the card files, lower-case names from the case flags, with their sizes.
  const auto dir = RunCommand(kMtools + "mdir -i '" + mtoolsImage + "' -b ::");
  ASSERT_EQ(dir.status, 0) << dir.output;
  std::vector<std::string> names;
  std::istringstream lines(dir.output);
  for (std::string line; std::getline(lines, line);)
    if (!line.empty()) names.push_back(line.substr(line.rfind('/') + 1));
  ASSERT_EQ(int(names.size()), n + 2) << dir.output;
  EXPECT_EQ(names[0], "hc00info.hcf");
  EXPECT_EQ(names[1], "hc01info.hcf");
  EXPECT_EQ(names.back(), "hcpt" + std::string(4 - std::to_string(n - 1).size(), '0') +
                              std::to_string(n - 1) + ".hcf");
  const auto sizes = RunCommand(kMtools + "mdir -i '" + mtoolsImage + "' ::");
  EXPECT_NE(sizes.output.find(std::to_string(s)), std::string::npos) << sizes.output;
  EXPECT_NE(sizes.output.find(std::to_string(l)), std::string::npos) << sizes.output;
  // mcopy reads an info file and the last partition file back in full.
  const auto info = RunCommand(kMtools + "mcopy -i '" + mtoolsImage + "' ::hc00info.hcf - | wc -c");
  EXPECT_EQ(info.output, "1024\n");
  if (l <= (64u << 20)) {
    const auto last = RunCommand(kMtools + "mcopy -i '" + mtoolsImage + "' ::" + names.back() +
                                 " - | wc -c");
    EXPECT_EQ(last.output, std::to_string(l) + "\n");
  }
  const json state = CliJson("info '" + medium + "' --json");
  EXPECT_EQ(state["class"], "marked");
  EXPECT_EQ(state["N_rsf"], n);
  EXPECT_EQ(uint64_t(state["N_sectors_in_standard_rsf"]) * 512, s);
  EXPECT_EQ(uint64_t(state["N_sectors_in_the_last_rsf"]) * 512, l);
  // The raw walk sizes the region only from files of at least 2 MiB.
  if (l >= (2u << 20)) {
    EXPECT_EQ(uint64_t(state["dirRegionSectors"]) * 512, uint64_t(marked["regionBytes"]));
  }
  EXPECT_NE(state["hcpt0000Sector"], 0);
  EXPECT_EQ(state["serviceSector"]["N_sectors_in_rsr"], state["N_sectors_in_rsr"]);
}

struct Case {
  uint64_t kib;
  const char* options;
  int share;
};

TEST(MarkCommand, MarksVolumesOfEverySizeCleanly) {
  if (!testsupport::HaveFatTools() || !testsupport::HaveProgram("fsck.fat"))
    GTEST_SKIP() << "dosfstools or mtools missing";
  TempDir dir;
  const Case cases[] = {
      {64 << 10, "-s 1", 100},                 // 512-byte clusters: the directory grows
      {64 << 10, "-n KORVANCARD -R 32", 50},   // a label before the files, more reserved sectors
      {4 << 20, "-s 64", 1},                   // 32 KiB clusters, a small share
      {32ull << 20, "", 100},
      {128ull << 20, "-n BIG", 100},           // 127 files of 1 GiB and a last one of 512 MiB
  };
  for (const Case& c : cases) {
    const std::string what = std::to_string(c.kib >> 10) + " MiB " + c.options + " at " +
                             std::to_string(c.share) + "%";
    const std::string image = dir / "card.img";
    ASSERT_TRUE(testsupport::MakeFatVolume(image, c.kib, 32, c.options)) << what;
    const json dry = CliJson("mark '" + image + "' --dry-run --json --share " + std::to_string(c.share));
    const json marked =
        CliJson("mark '" + image + "' --json --yes --share " + std::to_string(c.share));
    ASSERT_TRUE(marked.is_object()) << what;
    EXPECT_EQ(marked["checked"], true) << what;
    EXPECT_EQ(marked["regionBytes"], dry["regionBytes"]) << what;
    const auto fsck = RunCommand("fsck.fat -n '" + image + "'");
    EXPECT_EQ(fsck.status, 0) << what << "\n" << fsck.output;
    EXPECT_EQ(fsck.output.find("differ"), std::string::npos) << fsck.output;
    EXPECT_EQ(fsck.output.find("wrong"), std::string::npos) << fsck.output;
    ExpectReadyCard(image, image, marked, what);
  }
}

TEST(MarkCommand, RefusesWithoutWriting) {
  if (!testsupport::HaveFatTools()) GTEST_SKIP() << "dosfstools or mtools missing";
  TempDir dir;
  const std::string image = dir / "card.img";
  ASSERT_TRUE(testsupport::MakeFatVolume(image, 64 << 10, 32));
  ASSERT_EQ(CliJson("mark '" + image + "' --yes --json")["checked"], true);
  const std::string marked = Hash(image);
  // A marked card is no empty volume.
  auto r = RunCommand(kCli + " mark '" + image + "' --yes");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("not an empty FAT32 volume"), std::string::npos) << r.output;
  EXPECT_EQ(Hash(image), marked);
  // A volume holding a file.
  const std::string used = dir / "used.img";
  ASSERT_TRUE(testsupport::MakeFatVolume(used, 64 << 10, 32));
  ASSERT_TRUE(testsupport::WriteFile(dir / "a.txt", 5000));
  ASSERT_TRUE(testsupport::CopyIntoVolume(used, dir / "a.txt", "a.txt"));
  const std::string usedHash = Hash(used);
  EXPECT_EQ(RunCommand(kCli + " mark '" + used + "' --yes").status, 1);
  EXPECT_EQ(Hash(used), usedHash);
  // FAT16, an image folder, no confirmation, bad usage.
  const std::string fat16 = dir / "fat16.img";
  ASSERT_TRUE(testsupport::MakeFatVolume(fat16, 64 << 10, 16));
  EXPECT_EQ(RunCommand(kCli + " mark '" + fat16 + "' --yes").status, 1);
  r = RunCommand(kCli + " mark '" + dir.path().string() + "' --yes");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("image folder"), std::string::npos);
  const std::string fresh = dir / "fresh.img";
  ASSERT_TRUE(testsupport::MakeFatVolume(fresh, 64 << 10, 32));
  const std::string freshHash = Hash(fresh);
  EXPECT_EQ(RunCommand(kCli + " mark '" + fresh + "' < /dev/null").status, 1);
  EXPECT_EQ(Hash(fresh), freshHash);
  EXPECT_EQ(RunCommand(kCli + " mark '" + fresh + "' --share 0").status, 2);
  EXPECT_EQ(RunCommand(kCli + " mark '" + fresh + "' --share 101").status, 2);
  EXPECT_EQ(RunCommand(kCli + " format").status, 2);
}

TEST(FormatCommand, FormatsThenMarksAWholeDiskImageKeepingItsPartitionTable) {
  if (!testsupport::HaveFatTools() || !testsupport::HaveProgram("fsck.fat"))
    GTEST_SKIP() << "dosfstools or mtools missing";
  TempDir dir;
  // A disk whose partition holds FAT16: format makes it FAT32 in place, then mark.
  const std::string volume = dir / "v.img";
  ASSERT_TRUE(testsupport::MakeFatVolume(volume, 100 << 10, 16));
  const std::string disk = dir / "disk.img";
  ASSERT_TRUE(testsupport::MakeDiskImage(disk, 128, "start=2048, size=204800, type=c", volume, 2048));
  const auto table = RunCommand("sfdisk -d '" + disk + "'").output;
  EXPECT_EQ(CliJson("info '" + disk + "' --json")["class"], "unformatted");
  auto r = RunCommand(kCli + " format '" + disk + "' --yes");
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("class empty"), std::string::npos) << r.output;
  EXPECT_EQ(RunCommand("sfdisk -d '" + disk + "'").output, table);
  const json marked = CliJson("mark '" + disk + "' --yes --json");
  EXPECT_EQ(marked["checked"], true);
  EXPECT_EQ(CliJson("info '" + disk + "' --json")["partitionStart"], 2048);
  ExpectReadyCard(disk, disk + "@@1M", marked, "disk image");
  // mkfs.fat's own complaint reaches the user: a volume too small for FAT32.
  const std::string tiny = dir / "tiny.img";
  ASSERT_TRUE(testsupport::WriteFile(tiny, 16 << 10));
  r = RunCommand(kCli + " format '" + tiny + "' --yes");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("formatting '" + tiny + "' failed: "), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("mkfs.fat"), std::string::npos) << r.output;
  EXPECT_EQ(std::count(r.output.begin(), r.output.end(), '\n'), 1) << r.output;
}

TEST(MarkCommand, MarksAPartitionOnALoopDevice) {
  if (!testsupport::HaveFatTools() || !testsupport::HaveProgram("fsck.fat"))
    GTEST_SKIP() << "dosfstools or mtools missing";
  TempDir dir;
  const std::string volume = dir / "v.img";
  ASSERT_TRUE(testsupport::MakeFatVolume(volume, 100 << 10, 32));
  const std::string disk = dir / "disk.img";
  ASSERT_TRUE(testsupport::MakeDiskImage(disk, 128, "start=2048, size=204800, type=c", volume, 2048));
  testsupport::LoopDevice loop(disk, true);
  if (!loop.ok()) GTEST_SKIP() << "no loop device here";
  const std::string part = loop.partition(1);
  const json marked = CliJson("mark '" + part + "' --yes --json --share 50");
  ASSERT_EQ(marked["checked"], true);
  const auto fsck = RunCommand("fsck.fat -n '" + part + "'");
  EXPECT_EQ(fsck.status, 0) << fsck.output;
  ExpectReadyCard(part, part, marked, "loop device");
  EXPECT_EQ(CliJson("info '" + part + "' --json")["partitionStart"], 2048);
}

}  // namespace
