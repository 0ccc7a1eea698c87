#include "platform/block_device.h"

#include <gtest/gtest.h>

#include <sys/sysmacros.h>

#include <filesystem>
#include <fstream>

#include "support/temp_dir.h"

namespace fs = std::filesystem;

TEST(BlockDevice, PartitionNumberAndDiskComeFromSysfs) {
  testsupport::TempDir dir;
  const fs::path sys = dir.path() / "sys";
  const fs::path disk = sys / "devices/pci0/usb1/block/sdb";
  fs::create_directories(disk / "sdb2");
  std::ofstream(disk / "sdb2" / "partition") << "2\n";
  fs::create_directories(sys / "dev/block");
  fs::create_directory_symlink(disk / "sdb2", sys / "dev/block/8:18");
  fs::create_directory_symlink(disk, sys / "dev/block/8:16");

  const auto part = platform::DescribeBlockDevice(makedev(8, 18), sys.string(), "/dev");
  ASSERT_TRUE(part);
  EXPECT_EQ(part->name, "sdb2");
  EXPECT_EQ(part->partition, 2);
  EXPECT_EQ(part->diskPath, "/dev/sdb");

  const auto whole = platform::DescribeBlockDevice(makedev(8, 16), sys.string(), "/dev");
  ASSERT_TRUE(whole);
  EXPECT_EQ(whole->partition, 0);
  EXPECT_EQ(whole->diskPath, "/dev/sdb");

  EXPECT_FALSE(platform::DescribeBlockDevice(makedev(8, 99), sys.string(), "/dev"));
  EXPECT_FALSE(platform::QueryBlockDevice((dir.path() / "sys").string()));  // a folder
}
