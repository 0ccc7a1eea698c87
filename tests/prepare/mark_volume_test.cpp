// Raw marking on in-memory copies of volumes made by mkfs.fat: the large-run chain rewrite
// writes exactly the bytes of a sector-by-sector rewrite, the plan refuses what it must, the
// check after marking catches damage, and a failing write at any point is reported.
#include "prepare/mark_volume.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "base/endian.h"
#include "card/fat_volume.h"
#include "platform/faulty_volume.h"
#include "platform/memory_volume.h"
#include "prepare/cardmarkingth.h"
#include "prepare/marking_check.h"
#include "support/fat_image.h"
#include "support/temp_dir.h"

namespace prepare {
namespace {

using testsupport::TempDir;

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// An empty FAT32 volume made by mkfs.fat, held in memory.
std::shared_ptr<platform::MemoryVolume> EmptyVolume(const TempDir& dir, uint64_t kib,
                                                    const std::string& options) {
  const std::string image = dir / "v.img";
  if (!testsupport::MakeFatVolume(image, kib, 32, options)) return nullptr;
  return std::make_shared<platform::MemoryVolume>(ReadAll(image));
}

MarkingPlan Plan(platform::RawVolume& v, int share = 100) {
  const card::VolumeGeometry g = card::RecogniseVolumeOn(v);
  const ShareLayout s = LayoutForShare(v.length(), MarkableBytes(v, g), share);
  EXPECT_TRUE(s.ok);
  const PlanResult r = PlanMarking(v, g, s.layout);
  EXPECT_TRUE(r.ok()) << PlanErrorText(r.error);
  return r.plan;
}

// The rewrite as one sector at a time: for each partition file, its entry gets size and first
// cluster, and its FAT chain is written entry by entry into a sector read from the first FAT
// and written to both copies, the directory sector written back when left and at the end.
void ReferenceChain(platform::RawVolume& v, const MarkingPlan& p) {
  const card::VolumeGeometry& g = p.geometry;
  const uint64_t S = base::kSectorSize;
  uint64_t dirSector = g.firstDataSector + uint64_t(p.firstEntry + 2) * 32 / S;
  int k = (p.firstEntry + 2) * 32 % S;
  base::Sector dir{};
  ASSERT_TRUE(platform::ReadSectorAt(v, dirSector, dir));
  uint32_t cluster = p.firstPartCluster;
  for (int i = 0; i < p.layout.fileCount; ++i) {
    const uint64_t bytes = p.layout.fileBytes(i);
    base::store_le32(&dir[k + 0x1C], uint32_t(bytes));
    base::store_le16(&dir[k + 0x14], uint16_t(cluster >> 16));
    base::store_le16(&dir[k + 0x1A], uint16_t(cluster));
    uint64_t e = uint64_t(g.fatSector) * S + uint64_t(cluster) * 4;
    uint64_t at = e / S * S;
    size_t off = e % S;
    base::Sector fat{};
    ASSERT_TRUE(v.read_at(at, fat) == S);
    uint32_t c = cluster;
    for (uint64_t count = bytes / S / g.sectorsPerCluster; count > 0;) {
      --count;
      base::store_le32(&fat[off], count > 0 ? c + 1 : 0x0FFFFFFF);
      ++c;
      off += 4;
      if (off == S) {
        ASSERT_EQ(v.write_at(at, fat), S);
        ASSERT_EQ(v.write_at(at + uint64_t(g.sectorsPerFat) * S, fat), S);
        at += S;
        off = 0;
        ASSERT_EQ(v.read_at(at, fat), S);
      }
    }
    ASSERT_EQ(v.write_at(at, fat), S);
    ASSERT_EQ(v.write_at(at + uint64_t(g.sectorsPerFat) * S, fat), S);
    cluster = c;
    k += 32;
    if (k == int(S) || i + 1 == p.layout.fileCount) {
      ASSERT_TRUE(platform::WriteSectorAt(v, dirSector, dir));
      if (k == int(S)) {
        ++dirSector;
        k = 0;
        ASSERT_TRUE(platform::ReadSectorAt(v, dirSector, dir));
      }
    }
  }
}

TEST(MarkVolume, LargeRunsWriteTheBytesOfTheSectorBySectorRewrite) {
  if (!testsupport::HaveFatTools()) GTEST_SKIP() << "mkfs.fat missing";
  TempDir dir;
  // One-sector clusters (the directory grows past its first cluster) and a larger volume.
  for (const auto& [kib, options] : {std::pair<uint64_t, std::string>{65536, "-s 1"},
                                     {262144, "-s 8 -n KORVANCARD"}}) {
    auto a = EmptyVolume(dir, kib, options);
    ASSERT_TRUE(a);
    const MarkingPlan plan = Plan(*a);
    ASSERT_EQ(CreateCardFiles(*a, plan, FatTimestamp{}), MarkStatus::ok);
    platform::MemoryVolume b(a->bytes());
    ASSERT_EQ(ChainPartitionFiles(*a, plan), MarkStatus::ok);
    ReferenceChain(b, plan);
    // FSInfo is kept right by our rewrite only; every other byte must be the same.
    const size_t fsInfo = size_t(plan.fsInfoSector) * base::kSectorSize;
    ASSERT_GT(fsInfo, 0u);
    std::copy_n(a->bytes().begin() + fsInfo, base::kSectorSize, b.bytes().begin() + fsInfo);
    EXPECT_TRUE(a->bytes() == b.bytes()) << options;
    EXPECT_TRUE(CheckMarkedVolume(a, plan.layout).ok) << options;
  }
}

TEST(MarkVolume, ManyFilesGrowTheRootOverTheFollowingClustersBeforeTheRegion) {
  if (!testsupport::HaveFatTools() || !testsupport::HaveProgram("fsck.fat"))
    GTEST_SKIP() << "dosfstools missing";
  TempDir dir;
  // 40 files of 1 MiB after a label: 43 entries need three 512-byte clusters of directory,
  // which must not end up inside the partition files' run.
  const std::string image = dir / "many.img";
  ASSERT_TRUE(testsupport::MakeFatVolume(image, 65536, 32, "-s 1 -n MANY"));
  auto v = std::make_shared<platform::MemoryVolume>(ReadAll(image));
  const card::VolumeGeometry g = card::RecogniseVolumeOn(*v);
  const MarkingLayout layout{40, 1u << 20, 1u << 20};
  const PlanResult r = PlanMarking(*v, g, layout);
  ASSERT_TRUE(r.ok()) << PlanErrorText(r.error);
  EXPECT_EQ(r.plan.dirClusters, 3u);
  EXPECT_EQ(r.plan.firstPartCluster, 2u + 3u + 2u * 2u);  // 1024-byte files take two clusters
  ASSERT_EQ(MarkVolume(*v, r.plan, FatTimestampOf(0)), MarkStatus::ok);
  EXPECT_TRUE(CheckMarkedVolume(v, layout).ok) << CheckMarkedVolume(v, layout).problem;
  {
    std::ofstream out(image, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(v->bytes().data()), std::streamsize(v->bytes().size()));
  }
  const auto fsck = testsupport::RunCommand("fsck.fat -n '" + image + "'");
  EXPECT_EQ(fsck.status, 0) << fsck.output;
  EXPECT_NE(fsck.output.find("43 files"), std::string::npos) << fsck.output;  // with the label
  const auto last = testsupport::RunCommand("MTOOLS_SKIP_CHECK=1 mcopy -i '" + image +
                                            "' ::hcpt0039.hcf - | wc -c");
  EXPECT_EQ(last.output, "1048576\n");
}

TEST(MarkVolume, FsInfoFollowsTheFat) {
  if (!testsupport::HaveFatTools()) GTEST_SKIP() << "mkfs.fat missing";
  TempDir dir;
  auto v = EmptyVolume(dir, 65536, "-s 2");
  ASSERT_TRUE(v);
  const MarkingPlan plan = Plan(*v, 50);
  const uint8_t* info = &v->bytes()[size_t(plan.fsInfoSector) * 512];
  const uint32_t freeBefore = base::load_le32(info + 488);
  ASSERT_EQ(MarkVolume(*v, plan, FatTimestamp{}), MarkStatus::ok);
  // Every cluster from 3 to the region's end is now taken (cluster 2 was the root already).
  EXPECT_EQ(base::load_le32(info + 488), freeBefore - (plan.lastRegionCluster() - 2));
  EXPECT_EQ(base::load_le32(info + 492), plan.lastRegionCluster() + 1);
}

TEST(MarkingPlan, RefusesWhatCannotBeMarked) {
  if (!testsupport::HaveFatTools()) GTEST_SKIP() << "mkfs.fat missing";
  TempDir dir;
  auto v = EmptyVolume(dir, 65536, "");
  ASSERT_TRUE(v);
  const card::VolumeGeometry g = card::RecogniseVolumeOn(*v);
  MarkingLayout tooBig;
  ASSERT_TRUE(ChooseLayout(64ull << 20, kStartFileCount, tooBig));  // the whole volume
  EXPECT_EQ(PlanMarking(*v, g, tooBig).error, PlanError::noRoom);
  // A cluster in the middle of the region already taken.
  auto busy = std::make_shared<platform::MemoryVolume>(v->bytes());
  const MarkingPlan plan = Plan(*busy);
  base::store_le32(&busy->bytes()[size_t(g.fatSector) * 512 + size_t(plan.firstPartCluster + 100) * 4],
                   0x0FFFFFFF);
  EXPECT_EQ(PlanMarking(*busy, g, plan.layout).error, PlanError::clustersInUse);
  // A file in the root directory.
  const std::string image = dir / "withfile.img";
  ASSERT_TRUE(testsupport::MakeFatVolume(image, 65536, 32));
  ASSERT_TRUE(testsupport::WriteFile(dir / "a.txt", 10));
  ASSERT_TRUE(testsupport::CopyIntoVolume(image, dir / "a.txt", "a.txt"));
  platform::MemoryVolume withFile(ReadAll(image));
  EXPECT_EQ(PlanMarking(withFile, card::RecogniseVolumeOn(withFile), plan.layout).error,
            PlanError::rootNotEmpty);
  EXPECT_EQ(MarkableBytes(withFile, card::RecogniseVolumeOn(withFile)), 0u);
}

TEST(MarkingCheck, FindsABrokenChainAndDifferingCopies) {
  if (!testsupport::HaveFatTools()) GTEST_SKIP() << "mkfs.fat missing";
  TempDir dir;
  auto v = EmptyVolume(dir, 65536, "");
  ASSERT_TRUE(v);
  const MarkingPlan plan = Plan(*v);
  ASSERT_EQ(MarkVolume(*v, plan, FatTimestamp{}), MarkStatus::ok);
  ASSERT_TRUE(CheckMarkedVolume(v, plan.layout).ok);
  const size_t fat0 = size_t(plan.geometry.fatSector) * 512;
  const size_t fat1 = fat0 + size_t(plan.geometry.sectorsPerFat) * 512;
  // Second copy differs in one entry.
  auto copies = std::make_shared<platform::MemoryVolume>(v->bytes());
  copies->bytes()[fat1 + size_t(plan.firstPartCluster + 7) * 4] ^= 1;
  EXPECT_EQ(CheckMarkedVolume(copies, plan.layout).problem, "the FAT copies differ");
  // A chain that jumps: hcpt0000.hcf is no longer one run.
  auto jump = std::make_shared<platform::MemoryVolume>(v->bytes());
  base::store_le32(&jump->bytes()[fat0 + size_t(plan.firstPartCluster + 3) * 4],
                   plan.firstPartCluster + 9);
  EXPECT_FALSE(CheckMarkedVolume(jump, plan.layout).ok);
  // A chain running past its file's end.
  auto longer = std::make_shared<platform::MemoryVolume>(v->bytes());
  const uint32_t end0 = plan.firstPartCluster + plan.fileClusters(0) - 1;
  base::store_le32(&longer->bytes()[fat0 + size_t(end0) * 4], end0 + 1);
  EXPECT_FALSE(CheckMarkedVolume(longer, plan.layout).ok);
}

TEST(MarkVolume, AFailedWriteAnywhereIsReported) {
  if (!testsupport::HaveFatTools()) GTEST_SKIP() << "mkfs.fat missing";
  TempDir dir;
  auto clean = EmptyVolume(dir, 65536, "-s 1");
  ASSERT_TRUE(clean);
  const MarkingPlan plan = Plan(*clean);
  platform::FaultyVolume counter(std::make_shared<platform::MemoryVolume>(clean->bytes()));
  ASSERT_EQ(MarkVolume(counter, plan, FatTimestamp{}), MarkStatus::ok);
  const uint64_t writes = counter.writes();
  ASSERT_GE(writes, 6u);
  for (uint64_t n = 1; n <= writes; ++n) {
    platform::FaultyVolume faulty(std::make_shared<platform::MemoryVolume>(clean->bytes()));
    faulty.fail_write_on(n);
    EXPECT_EQ(MarkVolume(faulty, plan, FatTimestamp{}), MarkStatus::writeFailed) << n;
  }
}

TEST(CardMarkingTh, ReportsDoneWithTheCheckOrFailedAndWaitsForTermination) {
  if (!testsupport::HaveFatTools()) GTEST_SKIP() << "mkfs.fat missing";
  TempDir dir;
  auto clean = EmptyVolume(dir, 65536, "");
  ASSERT_TRUE(clean);
  const MarkingPlan plan = Plan(*clean);
  for (const bool fail : {false, true}) {
    auto volume = std::make_shared<platform::FaultyVolume>(
        std::make_shared<platform::MemoryVolume>(clean->bytes()));
    if (fail) volume->fail_write_on(4);
    auto session = [volume](const std::function<bool(platform::RawVolume&)>& writes) {
      return writes(*volume);
    };
    CardMarkingTh worker(session, volume, plan, FatTimestamp{});
    worker.start();
    while (!worker.done && !worker.failed) std::this_thread::yield();
    EXPECT_EQ(worker.failed.load(), fail);
    EXPECT_EQ(worker.done.load(), !fail);
    EXPECT_EQ(worker.checked.load(), !fail);
    EXPECT_FALSE(worker.ended());  // it waits for the request
    worker.request_terminate();
  }
}

}  // namespace
}  // namespace prepare
