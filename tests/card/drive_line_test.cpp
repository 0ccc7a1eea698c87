#include "card/drive_line.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/temp_dir.h"

namespace {

using testsupport::RunCommand;

struct Recorder final : platform::NoticeSink {
  std::vector<std::string> notices;
  void notice(platform::NoticeKind, const std::string& text) override { notices.push_back(text); }
};

// A sparse image of `bytes` bytes formatted by mkfs.fat with `options`.
std::string FatImage(const testsupport::TempDir& dir, const std::string& name, uint64_t bytes,
                     const std::string& options) {
  const std::string path = dir / name;
  EXPECT_EQ(RunCommand("truncate -s " + std::to_string(bytes) + " " + path).status, 0);
  EXPECT_EQ(RunCommand("mkfs.fat " + options + " " + path + " >/dev/null").status, 0);
  return path;
}

TEST(DriveList, ListsFatVolumesWithTypeSizeAndEmptyFlag) {
  if (!testsupport::HaveProgram("mkfs.fat")) GTEST_SKIP() << "mkfs.fat missing";
  testsupport::TempDir dir;
  const std::string fat32 = FatImage(dir, "fat32.img", 7948206080ull, "-F 32");
  const std::string fat16 = FatImage(dir, "fat16.img", 64ull << 20, "-F 16");
  const std::string plain = dir / "zeros.img";
  RunCommand("truncate -s 1M " + plain);
  Recorder notices;
  const auto list = card::ListDrives(
      {{fat32, "/media/card"}, {fat16, ""}, {plain, ""}, {dir / "missing", ""}}, notices);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].line, fat32 + " (/media/card), 7.402GB,  FAT32, formatted");
  EXPECT_EQ(list[0].devicePath, fat32);
  EXPECT_EQ(list[1].line, fat16 + ", 64MB,  FAT16, formatted");
  ASSERT_EQ(notices.notices.size(), 1u);
  EXPECT_EQ(notices.notices[0], "can't open " + dir / "missing");
}

TEST(DriveList, OnlyFat32LinesCanBeOpened) {
  EXPECT_TRUE(card::IsFat32DriveLine("/dev/sdb1, 7.402GB,  FAT32, formatted"));
  EXPECT_TRUE(card::IsFat32DriveLine("/dev/mmcblk0p1 (/media/x), 2GB,  FAT32"));
  EXPECT_FALSE(card::IsFat32DriveLine("/dev/sdc1, 64MB,  FAT16"));
  EXPECT_FALSE(card::IsFat32DriveLine("/dev/sdc1, 1.44MB,  FAT12, formatted"));
  EXPECT_FALSE(card::IsFat32DriveLine("/dev/sdc1, 2GB, FAT32"));  // one blank only
}

TEST(DriveList, VolumeWithFilesIsNotFormatted) {
  if (!testsupport::HaveProgram("mkfs.fat") || !testsupport::HaveProgram("mcopy"))
    GTEST_SKIP() << "dosfstools or mtools missing";
  testsupport::TempDir dir;
  const std::string fat32 = FatImage(dir, "used.img", 64ull << 20, "-F 32");
  RunCommand("echo hello > " + dir / "a.txt");
  ASSERT_EQ(RunCommand("mcopy -i " + fat32 + " " + dir / "a.txt" + " ::a.txt").status, 0);
  Recorder notices;
  const auto list = card::ListDrives({{fat32, ""}}, notices);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].line, fat32 + ", 64MB,  FAT32");
}

}  // namespace
