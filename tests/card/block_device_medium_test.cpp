// Opening a card through a real block device: a whole-disk image attached as a loop device
// with its partitions. Needs root and a free loop device; skipped otherwise.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <thread>

#include "card/card_medium.h"
#include "platform/block_device.h"
#include "platform/mounts.h"
#include "support/fat_image.h"
#include "support/temp_dir.h"

using testsupport::RunCommand;
using testsupport::TempDir;

namespace {

struct RecordingSink final : platform::NoticeSink {
  std::vector<std::string> texts;
  void notice(platform::NoticeKind, const std::string& text) override { texts.push_back(text); }
};

// A loop device over `image` with partition nodes; detached at the end.
class LoopDevice {
 public:
  explicit LoopDevice(const std::string& image) {
    if (geteuid() != 0 || !testsupport::HaveProgram("losetup")) return;
    auto r = RunCommand("losetup -f --show -P '" + image + "' 2>/dev/null");
    if (r.status != 0 || r.output.rfind("/dev/loop", 0) != 0) return;
    disk_ = r.output.substr(0, r.output.find('\n'));
    if (!WaitFor(disk_ + "p1")) {
      RunCommand("partx -a '" + disk_ + "'");
      WaitFor(disk_ + "p1");
    }
  }
  ~LoopDevice() {
    if (disk_.empty()) return;
    RunCommand("partx -d '" + disk_ + "'");
    RunCommand("losetup -d '" + disk_ + "'");
  }
  bool ok() const { return !disk_.empty() && platform::IsBlockDevice(disk_ + "p1"); }
  const std::string& disk() const { return disk_; }

 private:
  static bool WaitFor(const std::string& node) {
    for (int i = 0; i < 20; ++i) {
      if (platform::IsBlockDevice(node)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }
  std::string disk_;
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
  LoopDevice loop(dir / "disk.img");
  if (!loop.ok()) GTEST_SKIP() << "no loop device with partitions available";
  const std::string part = loop.disk() + "p1";

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

  // The whole disk holds a partition table, not a volume: it starts at 0, with a notice.
  ASSERT_TRUE(m.OpenMedium(loop.disk()));
  EXPECT_EQ(m.partitionStart, 0u);
  EXPECT_FALSE(m.marked);
  ASSERT_EQ(sink.texts.size(), 1u);
  EXPECT_EQ(sink.texts[0], "ERROR OPENING MEDIA: CANNOT GET DEVICE NUMBER");
}
