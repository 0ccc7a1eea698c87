// Opening a card through a real block device: a whole-disk image attached as a loop device
// with its partitions. Needs root and a free loop device; skipped otherwise.
#include <gtest/gtest.h>

#include "card/card_medium.h"
#include "platform/block_device.h"
#include "platform/mounts.h"
#include "support/fat_image.h"
#include "support/loop_device.h"
#include "support/temp_dir.h"

using testsupport::RunCommand;
using testsupport::TempDir;

namespace {

struct RecordingSink final : platform::NoticeSink {
  std::vector<std::string> texts;
  void notice(platform::NoticeKind, const std::string& text) override { texts.push_back(text); }
};

}  // namespace

TEST(BlockDeviceMedium, OpensAnUnmountedPartitionThroughOurFatReader) {
  if (!testsupport::HaveFatTools()) GTEST_SKIP() << "dosfstools/mtools missing";
  TempDir dir;
  card::ServiceSector ss;
  card::InitServiceSector(ss, card::RegionGeometry{2, 8192, 8192, 16384});
  ASSERT_TRUE(testsupport::MakeMarkedVolume(dir / "vol.img", dir.path(), 66000,
                                            {4 << 20, 4 << 20}, 1 << 20,
                                            std::vector<uint8_t>(ss.bytes().begin(), ss.bytes().end())));
  ASSERT_TRUE(testsupport::MakeDiskImage(dir / "disk.img", 80, "start=8192, size=132000, type=c",
                                         dir / "vol.img", 8192));
  testsupport::LoopDevice loop(dir / "disk.img", true);
  if (!loop.ok()) GTEST_SKIP() << "no loop device with partitions available";
  const std::string part = loop.partition(1);

  const auto facts = platform::QueryBlockDevice(part);
  ASSERT_TRUE(facts);
  EXPECT_EQ(facts->partition, 1);
  EXPECT_EQ(facts->diskPath, loop.disk());
  EXPECT_FALSE(platform::FindMount(facts->device));

  RecordingSink sink;
  card::CardMedium m(sink);
  ASSERT_TRUE(m.OpenMedium(part));
  EXPECT_EQ(m.kind, card::MediumKind::blockDevice);
  EXPECT_EQ(m.devicePath, part);
  EXPECT_EQ(m.diskPath, loop.disk());
  EXPECT_EQ(m.partitionStart, 8192u);
  EXPECT_EQ(m.cardLength, 132000u * 512);
  EXPECT_TRUE(m.marked);
  EXPECT_EQ(m.region.N_sectors_in_rsr, 16384u);
  EXPECT_EQ(m.serviceSector.bytes(), ss.bytes());
  EXPECT_TRUE(m.mountPoint.empty());
  EXPECT_FALSE(m.WriteCardServiceSector());  // opened read-only
  base::Sector s{};
  EXPECT_EQ(m.ReadRegionSector(16383, s), card::RegionReadResult::ok);
  EXPECT_TRUE(sink.texts.empty());

  ASSERT_TRUE(m.OpenMedium(part, card::OpenOptions{.writable = true}));
  m.serviceSector.set_rec_end_sectnum(0x12345678);
  ASSERT_TRUE(m.WriteCardServiceSector());
  ASSERT_TRUE(m.OpenMedium(part));
  EXPECT_EQ(m.serviceSector.rec_end_sectnum(), 0x12345678u);

  // The whole disk holds a partition table: like a whole-disk image file it opens its first
  // FAT partition, here through the partition's own node.
  ASSERT_TRUE(m.OpenMedium(loop.disk()));
  EXPECT_EQ(m.kind, card::MediumKind::blockDevice);
  EXPECT_EQ(m.devicePath, part);
  EXPECT_EQ(m.partitionStart, 8192u);
  EXPECT_TRUE(m.marked);
  EXPECT_EQ(m.serviceSector.rec_end_sectnum(), 0x12345678u);
  EXPECT_TRUE(sink.texts.empty());
}

TEST(BlockDeviceMedium, AWholeDiskWithoutPartitionNodesOpensItsPartitionInPlace) {
  if (!testsupport::HaveFatTools()) GTEST_SKIP() << "dosfstools/mtools missing";
  TempDir dir;
  card::ServiceSector ss;
  card::InitServiceSector(ss, card::RegionGeometry{1, 8192, 8192, 8192});
  ASSERT_TRUE(
      testsupport::MakeMarkedVolume(dir / "vol.img", dir.path(), 66000, {4 << 20}, 1 << 20,
                                    std::vector<uint8_t>(ss.bytes().begin(), ss.bytes().end())));
  ASSERT_TRUE(testsupport::MakeDiskImage(
      dir / "disk.img", 80, "start=2048, size=4096, type=83\\nstart=8192, size=132000, type=c",
      dir / "vol.img", 8192));
  testsupport::LoopDevice loop(dir / "disk.img", false);  // no partition scanning
  if (!loop.ok()) GTEST_SKIP() << "no loop device available";
  if (platform::IsBlockDevice(loop.partition(1))) GTEST_SKIP() << "partitions were scanned";

  RecordingSink sink;
  card::CardMedium m(sink);
  ASSERT_TRUE(m.OpenMedium(loop.disk(), card::OpenOptions{.writable = true}));
  EXPECT_EQ(m.kind, card::MediumKind::blockDevice);
  EXPECT_EQ(m.devicePath, loop.disk());
  EXPECT_EQ(m.partitionStart, 8192u);  // the second entry: the first FAT partition
  EXPECT_EQ(m.cardLength, 132000u * 512);
  EXPECT_TRUE(m.marked);
  EXPECT_EQ(m.serviceSector.bytes(), ss.bytes());
  base::Sector s{};
  EXPECT_EQ(m.ReadRegionSector(8191, s), card::RegionReadResult::ok);
  m.serviceSector.set_rec_end_sectnum(0x2345);
  ASSERT_TRUE(m.WriteCardServiceSector());
  ASSERT_TRUE(m.OpenMedium(loop.disk()));
  EXPECT_EQ(m.serviceSector.rec_end_sectnum(), 0x2345u);
  EXPECT_TRUE(sink.texts.empty());
}

TEST(BlockDeviceMedium, AMountedVolumeIsReadThroughItsMountPoint) {
  TempDir dir;
  testsupport::MountedLoop loop(dir.path().string());
  if (!loop.ok()) GTEST_SKIP() << "cannot mount a loop device here";
  card::ServiceSector ss;
  card::InitServiceSector(ss, card::RegionGeometry{1, 4096, 4096, 4096});
  ss.set_imei_sn(777);
  const std::string mnt = loop.mountPoint();
  ASSERT_TRUE(testsupport::WriteFile(mnt + "/hc00info.hcf", 512,
                                     std::vector<uint8_t>(ss.bytes().begin(), ss.bytes().end())));
  ASSERT_TRUE(testsupport::WriteFile(mnt + "/hc01info.hcf", 512));
  ASSERT_TRUE(testsupport::WriteFile(mnt + "/hcpt0000.hcf", 4096 * 512));

  RecordingSink sink;
  card::CardMedium m(sink);
  ASSERT_TRUE(m.OpenMedium(loop.device(), card::OpenOptions{.writable = true}));
  EXPECT_EQ(m.mountPoint, mnt);
  // Not a FAT volume, so nothing is located raw; the file check through the mount decides.
  EXPECT_FALSE(m.geometry.recognised);
  EXPECT_TRUE(m.marked);
  EXPECT_EQ(m.partFiles[0], mnt + "/hcpt0000.hcf");
  EXPECT_EQ(m.serviceSector.imei_sn(), 777u);
  base::Sector s{};
  EXPECT_EQ(m.ReadRegionSector(4095, s), card::RegionReadResult::ok);
  EXPECT_FALSE(m.WriteCardServiceSector());  // the raw sectors are unknown
  EXPECT_TRUE(loop.mount());                 // and nothing was unmounted for it
  m.CloseMedium();
}
