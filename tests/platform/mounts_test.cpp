#include "platform/mounts.h"

#include <gtest/gtest.h>

#include <sys/sysmacros.h>

#include <fstream>

#include "support/temp_dir.h"

TEST(Mounts, FindsTheMountOfADeviceNumberWithOptionalFields) {
  testsupport::TempDir dir;
  std::ofstream(dir / "mountinfo")
      << "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
         "40 22 8:17 / /run/media/u/CARD\\0401 rw,nosuid,nodev shared:5 master:2 - vfat "
         "/dev/sdb1 rw,fmask=0022,dmask=0022\n"
         "41 22 8:18 / /mnt/broken rw\n";  // damaged line: skipped
  const auto m = platform::FindMount(makedev(8, 17), dir / "mountinfo");
  ASSERT_TRUE(m);
  EXPECT_EQ(m->mountPoint, "/run/media/u/CARD 1");
  EXPECT_EQ(m->fsType, "vfat");
  EXPECT_EQ(m->source, "/dev/sdb1");
  EXPECT_EQ(m->mountOptions, "rw,nosuid,nodev");
  EXPECT_EQ(m->superOptions, "rw,fmask=0022,dmask=0022");
  EXPECT_FALSE(platform::FindMount(makedev(8, 18), dir / "mountinfo"));
  EXPECT_FALSE(platform::FindMount(makedev(8, 33), dir / "mountinfo"));
}

TEST(Mounts, UnescapesOnlyWholeOctalEscapes) {
  EXPECT_EQ(platform::UnescapeMountField("a\\040b\\011c\\134d"), "a b\tc\\d");
  EXPECT_EQ(platform::UnescapeMountField("end\\04"), "end\\04");
  EXPECT_EQ(platform::UnescapeMountField("x\\9y"), "x\\9y");
}
