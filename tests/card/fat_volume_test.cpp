#include "card/fat_volume.h"

#include <gtest/gtest.h>

#include "base/endian.h"
#include "platform/raw_volume.h"
#include "support/fat_image.h"
#include "support/temp_dir.h"

using card::VolumeGeometry;
using testsupport::TempDir;

namespace {

VolumeGeometry RecogniseImage(const std::string& path) {
  return card::RecogniseVolumeAt(path).value_or(VolumeGeometry{});
}

// A FAT32 geometry and a first FAT sector as a fresh format leaves it.
struct Fat32Fixture {
  VolumeGeometry g;
  base::Sector fat{};
  Fat32Fixture() {
    g.recognised = g.isFat32 = true;
    base::store_le32(&fat[0], 0x0FFFFFF8);
    base::store_le32(&fat[4], 0x0FFFFFFF);
    base::store_le32(&fat[8], 0x0FFFFFFF);
  }
};

}  // namespace

TEST(RecogniseVolume, TellsTheFatTypesOfFreshVolumesApart) {
  if (!testsupport::HaveFatTools()) GTEST_SKIP() << "dosfstools/mtools missing";
  TempDir dir;
  ASSERT_TRUE(testsupport::MakeFatVolume(dir / "f12.img", 4096, 12, "-M 0xF8"));
  ASSERT_TRUE(testsupport::MakeFatVolume(dir / "f16.img", 40000, 16));  // > 65535 sectors
  ASSERT_TRUE(testsupport::MakeFatVolume(dir / "f32.img", 66000, 32));

  const VolumeGeometry f12 = RecogniseImage(dir / "f12.img");
  EXPECT_TRUE(f12.recognised);
  EXPECT_TRUE(f12.isFat12);
  EXPECT_FALSE(f12.isFat32);
  EXPECT_EQ(f12.volumeSectors, 8192u);
  EXPECT_TRUE(f12.empty);

  // The 16-bit total is 0 here: the 32-bit field counts, and the type is FAT16, not FAT12.
  const VolumeGeometry f16 = RecogniseImage(dir / "f16.img");
  EXPECT_TRUE(f16.isFat16());
  EXPECT_EQ(f16.volumeSectors, 80000u);
  EXPECT_TRUE(f16.empty);
  EXPECT_EQ(f16.rootDirSectors, (f16.rootEntries * 32 + 511) / 512);
  EXPECT_EQ(f16.firstDataSector, f16.rootDirSector + uint32_t(f16.rootDirSectors));

  // mkfs.fat marks the root cluster with 0x0FFFFFF8: still a fresh, empty volume.
  const VolumeGeometry f32 = RecogniseImage(dir / "f32.img");
  EXPECT_TRUE(f32.isFat32);
  EXPECT_FALSE(f32.isFat12);
  EXPECT_EQ(f32.volumeSectors, 132000u);
  EXPECT_EQ(f32.rootDirSectors, 0);
  EXPECT_EQ(f32.rootDirSector, f32.fatSector + 2 * f32.sectorsPerFat);
  EXPECT_EQ(f32.clusterBase, f32.firstDataSector - 2u * uint32_t(f32.sectorsPerCluster));
  EXPECT_TRUE(f32.empty);
}

TEST(RecogniseVolume, AVolumeWithAFileIsNotEmpty) {
  if (!testsupport::HaveFatTools()) GTEST_SKIP() << "dosfstools/mtools missing";
  TempDir dir;
  ASSERT_TRUE(testsupport::MakeFatVolume(dir / "v.img", 66000, 32));
  ASSERT_TRUE(testsupport::WriteFile(dir / "f", 4096));
  ASSERT_TRUE(testsupport::CopyIntoVolume(dir / "v.img", dir / "f", "f.bin"));
  EXPECT_FALSE(RecogniseImage(dir / "v.img").empty);
}

TEST(RecogniseVolume, RejectsOddSectorSizesAndZeroClusterSize) {
  base::Sector boot{}, fat{};
  base::store_le16(&boot[0x0B], 1024);
  boot[0x0D] = 8;
  EXPECT_FALSE(card::RecogniseVolume(boot, fat).recognised);
  base::store_le16(&boot[0x0B], 512);
  boot[0x0D] = 0;
  EXPECT_FALSE(card::RecogniseVolume(boot, fat).recognised);
  EXPECT_FALSE(card::RecogniseVolume(boot, fat).empty);
}

TEST(EmptyFat32, AcceptsEveryEndOfChainMarkButNoOtherEntry) {
  Fat32Fixture f;
  EXPECT_TRUE(card::IsEmptyFat(f.g, f.fat));
  base::store_le32(&f.fat[8], 0x0FFFFFF8);  // what mkfs.fat writes for the root cluster
  EXPECT_TRUE(card::IsEmptyFat(f.g, f.fat));
  base::store_le32(&f.fat[4], 0xFFFFFFFF);  // upper 4 bits are not part of the entry
  EXPECT_TRUE(card::IsEmptyFat(f.g, f.fat));
  base::store_le32(&f.fat[8], 0x0FFFFFF7);  // a bad-cluster mark is no end of chain
  EXPECT_FALSE(card::IsEmptyFat(f.g, f.fat));

  for (size_t entry : {3u, 64u, 127u}) {
    Fat32Fixture g;
    g.fat[4 * entry + 3] = 0x10;  // even the reserved top bits count in entries 3..127
    EXPECT_FALSE(card::IsEmptyFat(g.g, g.fat)) << entry;
  }
  Fat32Fixture wrongMedia;
  base::store_le32(&wrongMedia.fat[0], 0x0FFFFFF0);
  EXPECT_FALSE(card::IsEmptyFat(wrongMedia.g, wrongMedia.fat));
}
