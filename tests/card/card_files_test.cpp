#include "card/card_files.h"

#include <gtest/gtest.h>

#include "card/fat32_reader.h"
#include "base/endian.h"
#include "platform/faulty_volume.h"
#include "platform/memory_volume.h"
#include "support/fat_image.h"
#include "support/temp_dir.h"

using testsupport::TempDir;

namespace {

constexpr uint64_t kMiB = 1 << 20;

struct OpenedVolume {
  std::shared_ptr<platform::RawVolume> volume;
  card::VolumeGeometry g;
};

OpenedVolume Open(const std::string& image) {
  OpenedVolume o;
  o.volume = platform::OpenFileVolume(image, false, nullptr);
  if (o.volume) o.g = card::RecogniseVolumeOn(*o.volume);
  return o;
}

uint32_t SectorByMtools(const std::string& image, const card::VolumeGeometry& g,
                        const std::string& name) {
  return g.clusterBase + testsupport::FirstClusterByMtools(image, name) * uint32_t(g.sectorsPerCluster);
}


}  // namespace

TEST(LocateCardFiles, FindsTheSectorsMtoolsAllocated) {
  if (!testsupport::HaveFatTools()) GTEST_SKIP() << "dosfstools/mtools missing";
  TempDir dir;
  const std::string image = dir / "card.img";
  ASSERT_TRUE(testsupport::MakeMarkedVolume(image, dir.path(), 66000, {3 * kMiB, 2 * kMiB, 2 * kMiB}));
  const OpenedVolume v = Open(image);
  ASSERT_TRUE(v.g.isFat32);
  const card::CardFileSectors s = card::LocateCardFiles(*v.volume, v.g);
  EXPECT_TRUE(s.found());
  EXPECT_EQ(s.hc00infoSector, SectorByMtools(image, v.g, "hc00info.hcf"));
  EXPECT_EQ(s.hc01infoSector, SectorByMtools(image, v.g, "hc01info.hcf"));
  EXPECT_EQ(s.hcpt0000Sector, SectorByMtools(image, v.g, "hcpt0000.hcf"));
  EXPECT_EQ(s.dirRegionSectors, 7 * kMiB / 512);
}

TEST(LocateCardFiles, FollowsThePartitionChainIntoTheNextDirectorySector) {
  if (!testsupport::HaveFatTools()) GTEST_SKIP() << "dosfstools/mtools missing";
  TempDir dir;
  const std::string image = dir / "card.img";
  // 4 KiB clusters: the root directory's first cluster holds 128 entries in 8 sectors.
  ASSERT_TRUE(testsupport::MakeFatVolume(image, 300000, 32, "-s 8"));
  ASSERT_TRUE(testsupport::WriteFile(dir / "i", kMiB));
  ASSERT_TRUE(testsupport::CopyIntoVolume(image, dir / "i", "hc00info.hcf"));
  ASSERT_TRUE(testsupport::CopyIntoVolume(image, dir / "i", "hc01info.hcf"));
  ASSERT_TRUE(testsupport::WriteFile(dir / "p", 2 * kMiB));
  for (int n = 0; n < 20; ++n) {
    char name[16];
    std::snprintf(name, sizeof name, "hcpt%04d.hcf", n);
    ASSERT_TRUE(testsupport::CopyIntoVolume(image, dir / "p", name));
  }
  const OpenedVolume v = Open(image);
  const card::CardFileSectors s = card::LocateCardFiles(*v.volume, v.g);
  EXPECT_EQ(s.dirRegionSectors, 20 * 2 * kMiB / 512);  // 22 entries span two sectors
}

TEST(LocateCardFiles, SizeTestStopsTheWalkButKeepsTheSector) {
  if (!testsupport::HaveFatTools()) GTEST_SKIP() << "dosfstools/mtools missing";
  for (uint64_t bad : {kMiB, 2 * kMiB + 512}) {
    TempDir dir;
    const std::string image = dir / "card.img";
    ASSERT_TRUE(testsupport::MakeMarkedVolume(image, dir.path(), 66000, {bad, 2 * kMiB}));
    const OpenedVolume v = Open(image);
    const card::CardFileSectors s = card::LocateCardFiles(*v.volume, v.g);
    EXPECT_EQ(s.hcpt0000Sector, SectorByMtools(image, v.g, "hcpt0000.hcf")) << bad;
    EXPECT_EQ(s.dirRegionSectors, 0u) << bad;
    // The file check still accepts the card: all sizes are multiples of 512.
    card::FatFileSystem files(std::make_shared<card::Fat32Reader>(v.volume, v.g), image);
    const card::CardFiles check = card::CheckCardFiles(files);
    EXPECT_TRUE(check.marked) << bad;
    EXPECT_EQ(check.region.N_sectors_in_standard_rsf, bad / 512);
  }
}

TEST(LocateCardFiles, AShortDirectoryReadFindsNothing) {
  if (!testsupport::HaveFatTools()) GTEST_SKIP() << "dosfstools/mtools missing";
  TempDir dir;
  const std::string image = dir / "card.img";
  ASSERT_TRUE(testsupport::MakeMarkedVolume(image, dir.path(), 66000, {2 * kMiB}));
  const OpenedVolume v = Open(image);
  auto faulty = std::make_shared<platform::FaultyVolume>(v.volume);
  faulty->short_read_on(1);
  const card::CardFileSectors s = card::LocateCardFiles(*faulty, v.g);
  EXPECT_FALSE(s.found());
  EXPECT_EQ(s.hc00infoSector, 0u);
}

TEST(CheckCardFiles, BuildsTheTableFromSparseFiles) {
  TempDir dir;
  const uint64_t GiB = 1ull << 30;
  ASSERT_TRUE(testsupport::WriteFile(dir / "hc00info.hcf", kMiB));
  ASSERT_TRUE(testsupport::WriteFile(dir / "hc01info.hcf", kMiB));
  ASSERT_TRUE(testsupport::WriteFile(dir / "hcpt0000.hcf", GiB));
  ASSERT_TRUE(testsupport::WriteFile(dir / "hcpt0001.hcf", GiB));
  ASSERT_TRUE(testsupport::WriteFile(dir / "hcpt0002.hcf", 300 * kMiB));
  ASSERT_TRUE(testsupport::WriteFile(dir / "hcpt0004.hcf", GiB));  // after a gap: not part of it
  card::FolderFileSystem files(dir.path().string());
  const card::CardFiles r = card::CheckCardFiles(files);
  ASSERT_TRUE(r.marked);
  EXPECT_EQ(r.region.N_rsf, 3u);
  EXPECT_EQ(r.region.N_sectors_in_standard_rsf, 2097152u);
  EXPECT_EQ(r.region.N_sectors_in_the_last_rsf, 614400u);
  EXPECT_EQ(r.region.N_sectors_in_rsr, 4808704u);
  ASSERT_EQ(r.partFiles.size(), 3u);
  EXPECT_EQ(r.partFiles[2], (dir.path() / "hcpt0002.hcf").string());
  EXPECT_EQ(r.partFileBytes[1], GiB);
}

TEST(CheckCardFiles, RefusesMissingInfoFilesAndOddSizes) {
  TempDir dir;
  ASSERT_TRUE(testsupport::WriteFile(dir / "hc00info.hcf", kMiB));
  ASSERT_TRUE(testsupport::WriteFile(dir / "hcpt0000.hcf", 4 * kMiB));
  card::FolderFileSystem files(dir.path().string());
  EXPECT_FALSE(card::CheckCardFiles(files).marked);  // hc01info.hcf missing
  ASSERT_TRUE(testsupport::WriteFile(dir / "hc01info.hcf", kMiB));
  EXPECT_TRUE(card::CheckCardFiles(files).marked);
  ASSERT_TRUE(testsupport::WriteFile(dir / "hcpt0001.hcf", 4 * kMiB + 100));
  EXPECT_FALSE(card::CheckCardFiles(files).marked);
}

TEST(CheckCardFiles, FindsUpperCaseCopiesInAFolder) {
  TempDir dir;
  for (const char* name : {"HC00INFO.HCF", "HC01INFO.HCF", "HCPT0000.HCF"})
    ASSERT_TRUE(testsupport::WriteFile(dir / name, 2 * kMiB));
  card::FolderFileSystem files(dir.path().string());
  const card::CardFiles r = card::CheckCardFiles(files);
  EXPECT_TRUE(r.marked);
  EXPECT_EQ(r.region.N_rsf, 1u);
}

TEST(CheckCardFiles, MoreFilesThanTheTableHoldsAreRefused) {
  TempDir dir;
  ASSERT_TRUE(testsupport::WriteFile(dir / "hc00info.hcf", kMiB));
  ASSERT_TRUE(testsupport::WriteFile(dir / "hc01info.hcf", kMiB));
  char name[32];
  for (uint32_t n = 0; n < card::kMaxPartitionFiles; ++n) {
    std::snprintf(name, sizeof name, "hcpt%04u.hcf", n);
    ASSERT_TRUE(testsupport::WriteFile(dir / name, 512));
  }
  card::FolderFileSystem files(dir.path().string());
  EXPECT_EQ(card::CheckCardFiles(files).region.N_rsf, 128u);
  std::snprintf(name, sizeof name, "hcpt%04u.hcf", card::kMaxPartitionFiles);
  ASSERT_TRUE(testsupport::WriteFile(dir / name, 512));
  const card::CardFiles r = card::CheckCardFiles(files);
  EXPECT_FALSE(r.marked);
  EXPECT_TRUE(r.partFiles.empty());
}

TEST(CheckCardFiles, IncrementsTheNumberWithCarry) {
  EXPECT_EQ(card::IncrementBaseName("hcpt0000"), "hcpt0001");
  EXPECT_EQ(card::IncrementBaseName("hcpt0009"), "hcpt0010");
  EXPECT_EQ(card::IncrementBaseName("hcpt0099"), "hcpt0100");
}

TEST(FatReader, BrokenOrLoopingChainsMakeAFileUnreadable) {
  if (!testsupport::HaveFatTools()) GTEST_SKIP() << "dosfstools/mtools missing";
  TempDir dir;
  const std::string image = dir / "card.img";
  ASSERT_TRUE(testsupport::MakeMarkedVolume(image, dir.path(), 66000, {2 * kMiB}));
  const uint32_t first = testsupport::FirstClusterByMtools(image, "hcpt0000.hcf");
  ASSERT_NE(first, 0u);
  for (const uint32_t link : {first, first + 1, 0u, 0x0FFFFFFFu}) {  // loops, early end, free
    auto memory = std::make_shared<platform::MemoryVolume>(std::vector<uint8_t>());
    {
      const OpenedVolume v = Open(image);
      memory->bytes().resize(size_t(v.volume->length()));
      v.volume->read_at(0, memory->bytes());
    }
    const card::VolumeGeometry g = card::RecogniseVolumeOn(*memory);
    // The entry of the chain's second cluster now points back, ends early or is free.
    const size_t entry = size_t(g.fatSector) * 512 + size_t(first + 1) * 4;
    base::store_le32(&memory->bytes()[entry], link);
    card::FatFileSystem files(std::make_shared<card::Fat32Reader>(memory, g), "mem");
    EXPECT_FALSE(files.FileSize("hcpt0000.hcf")) << link;
    EXPECT_FALSE(files.Open("hcpt0000.hcf")) << link;
    EXPECT_TRUE(files.FileSize("hc00info.hcf")) << link;
    EXPECT_FALSE(card::CheckCardFiles(files).marked) << link;
  }
}
