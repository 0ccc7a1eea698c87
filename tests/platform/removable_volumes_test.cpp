#include "platform/removable_volumes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

void Put(const fs::path& file, const std::string& text) {
  fs::create_directories(file.parent_path());
  std::ofstream(file) << text << "\n";
}

// A sysfs block folder at devices/<where>/<name>, linked from block/<name>.
fs::path Disk(const fs::path& sys, const std::string& where, const std::string& name,
              const std::string& removable, const std::string& dev) {
  const fs::path real = sys / "devices" / where / name;
  Put(real / "removable", removable);
  Put(real / "size", "1000");
  Put(real / "dev", dev);
  fs::create_directories(sys / "block");
  fs::create_directory_symlink(real, sys / "block" / name);
  return real;
}

void Partition(const fs::path& disk, const std::string& name, const std::string& dev) {
  Put(disk / name / "partition", "1");
  Put(disk / name / "size", "900");
  Put(disk / name / "dev", dev);
}

TEST(RemovableVolumes, ListsPartitionsOfRemovableSdAndUsbDisks) {
  testsupport::TempDir dir;
  const fs::path sys = dir.path() / "sys";
  const fs::path fixed = Disk(sys, "pci0/ata1", "sda", "0", "8:0");
  Partition(fixed, "sda1", "8:1");
  const fs::path reader = Disk(sys, "pci0/ata2", "sdb", "1", "8:16");
  Partition(reader, "sdb1", "8:17");
  Partition(reader, "sdb2", "8:18");
  const fs::path sd = Disk(sys, "mmc0", "mmcblk0", "0", "179:0");
  Partition(sd, "mmcblk0p1", "179:1");
  Disk(sys, "pci0/usb1/1-1", "sdc", "0", "8:32");  // USB stick without partition table
  Disk(sys, "virtual", "loop0", "0", "7:0");
  const std::string mountinfo = dir / "mountinfo";
  Put(mountinfo,
      "36 25 179:1 / /media/my\\040card rw,nosuid - vfat /dev/mmcblk0p1 rw,fmask=0022");
  const auto volumes = platform::ListRemovableVolumes(sys.string(), "/dev", mountinfo);
  ASSERT_EQ(volumes.size(), 4u);
  EXPECT_EQ(volumes[0].devicePath, "/dev/mmcblk0p1");
  EXPECT_EQ(volumes[0].mountPoint, "/media/my card");
  EXPECT_EQ(volumes[1].devicePath, "/dev/sdb1");
  EXPECT_EQ(volumes[1].mountPoint, "");
  EXPECT_EQ(volumes[2].devicePath, "/dev/sdb2");
  EXPECT_EQ(volumes[3].devicePath, "/dev/sdc");
}

TEST(RemovableVolumes, EmptyReaderAndMissingSysfsGiveNothing) {
  testsupport::TempDir dir;
  const fs::path sys = dir.path() / "sys";
  const fs::path reader = Disk(sys, "pci0/ata2", "sdb", "1", "8:16");
  Put(reader / "size", "0");  // card reader without a card
  EXPECT_TRUE(platform::ListRemovableVolumes(sys.string(), "/dev", dir / "none").empty());
  EXPECT_TRUE(platform::ListRemovableVolumes((dir.path() / "absent").string()).empty());
}

}  // namespace
