#include "platform/removable_volumes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/temp_dir.h"

namespace fs = std::filesystem;
using testsupport::TempDir;

namespace {

void Put(const fs::path& file, const std::string& text) {
  fs::create_directories(file.parent_path());
  std::ofstream(file) << text << "\n";
}

// A disk folder under devices/ with its /sys/block link, like the kernel lays them out.
fs::path AddDisk(const fs::path& sys, const std::string& devicePath, const std::string& name,
                 const std::string& removable, const std::string& size, const std::string& dev) {
  const fs::path folder = sys / "devices" / devicePath / name;
  Put(folder / "removable", removable);
  Put(folder / "size", size);
  Put(folder / "dev", dev);
  fs::create_directories(sys / "block");
  fs::create_directory_symlink(folder, sys / "block" / name);
  return folder;
}

void AddPartition(const fs::path& disk, const std::string& name, int number,
                  const std::string& dev) {
  Put(disk / name / "partition", std::to_string(number));
  Put(disk / name / "size", "2048");
  Put(disk / name / "dev", dev);
}

}  // namespace

TEST(RemovableVolumes, ListsCardDisksAndTheirPartitionsWithMountPoints) {
  TempDir dir;
  const fs::path sys = dir.path() / "sys";
  AddDisk(sys, "pci0/ata1", "sda", "0", "1000000", "8:0");                       // fixed disk
  const fs::path sdb = AddDisk(sys, "pci0/usb1/1-1", "sdb", "0", "4096", "8:16");  // USB, partitioned
  AddPartition(sdb, "sdb1", 1, "8:17");
  AddPartition(sdb, "sdb2", 2, "8:18");
  AddDisk(sys, "pci0/mmc0", "mmcblk0", "0", "8192", "179:0");    // built-in SD reader, no table
  AddDisk(sys, "pci0/mmc0", "mmcblk0boot0", "0", "8192", "179:8");
  AddDisk(sys, "pci0/ata2", "sdc", "1", "0", "8:32");            // card reader without a card
  AddDisk(sys, "virtual", "loop0", "0", "8192", "7:0");
  Put(dir.path() / "mountinfo",
      "36 25 8:17 / /media/my\\040card rw,nosuid,nodev,relatime shared:1 - vfat /dev/sdb1 "
      "rw,fmask=0022\n"
      "37 25 8:0 / / rw,relatime - ext4 /dev/sda rw");

  const auto volumes =
      platform::ListRemovableVolumes(sys.string(), "/dev", (dir.path() / "mountinfo").string());
  ASSERT_EQ(volumes.size(), 3u);
  EXPECT_EQ(volumes[0].devicePath, "/dev/mmcblk0");
  EXPECT_TRUE(volumes[0].wholeDisk);
  EXPECT_EQ(volumes[0].sizeBytes, 8192u * 512);
  EXPECT_EQ(volumes[1].devicePath, "/dev/sdb1");
  EXPECT_EQ(volumes[1].diskPath, "/dev/sdb");
  EXPECT_EQ(volumes[1].mountPoint, "/media/my card");
  EXPECT_FALSE(volumes[1].wholeDisk);
  EXPECT_EQ(volumes[2].devicePath, "/dev/sdb2");
  EXPECT_EQ(volumes[2].mountPoint, "");
}

TEST(RemovableVolumes, NoSysfsGivesAnEmptyList) {
  EXPECT_TRUE(platform::ListRemovableVolumes("/nonexistent", "/dev", "/nonexistent").empty());
}
