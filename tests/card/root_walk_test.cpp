// Our FAT reader's root-directory walk on damaged FATs: a chain that loops, or one that runs
// on without an end entry past what a directory may hold, marks the card as damaged instead
// of listing entries without end.
#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "base/endian.h"
#include "card/card_medium.h"
#include "card/fat32_reader.h"
#include "platform/notice_sink.h"
#include "support/fat_image.h"
#include "support/temp_dir.h"

namespace {

class DamagedRoot : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testsupport::HaveFatTools()) GTEST_SKIP() << "dosfstools/mtools missing";
    ASSERT_TRUE(testsupport::MakeMarkedVolume(image, dir.path(), 66000, {2 << 20}));
    auto v = platform::OpenFileVolume(image, false, nullptr);
    ASSERT_TRUE(v);
    g = card::RecogniseVolumeOn(*v);
    ASSERT_TRUE(g.isFat32);
    clusterBytes = uint64_t(g.sectorsPerCluster) * 512;
  }

  void setFat(uint32_t cluster, uint32_t next) {
    uint8_t entry[4];
    base::store_le32(entry, next);
    write(uint64_t(g.fatSector) * 512 + uint64_t(cluster) * 4, entry, 4);
  }
  uint64_t clusterOffset(uint32_t c) const {
    return (uint64_t(g.clusterBase) + uint64_t(c) * uint32_t(g.sectorsPerCluster)) * 512;
  }
  // Marks every entry of cluster `c` from `firstEntry` on as deleted (so none ends the walk).
  void fillDeleted(uint32_t c, size_t firstEntry) {
    const std::vector<uint8_t> deleted(size_t(clusterBytes) - firstEntry * 32, 0xE5);
    write(clusterOffset(c) + firstEntry * 32, deleted.data(), deleted.size());
  }
  void write(uint64_t offset, const uint8_t* p, size_t n) {
    if (!file.is_open()) file.open(image, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(std::streamoff(offset));
    file.write(reinterpret_cast<const char*>(p), std::streamsize(n));
  }
  // Opens the image as a medium and through a fresh reader.
  void expectDamaged() {
    file.close();
    platform::NullNoticeSink notices;
    card::CardMedium medium(notices);
    ASSERT_TRUE(medium.OpenMedium(image));
    EXPECT_FALSE(medium.marked);
    auto v = platform::OpenFileVolume(image, false, nullptr);
    card::Fat32Reader reader(std::move(v), g);
    EXPECT_TRUE(reader.ListRoot().empty());
    EXPECT_TRUE(reader.rootDamaged());
  }

  testsupport::TempDir dir;
  std::string image = dir / "card.img";
  card::VolumeGeometry g;
  uint64_t clusterBytes = 0;
  std::fstream file;
};

TEST_F(DamagedRoot, IntactRootListsTheCardFiles) {
  auto v = platform::OpenFileVolume(image, false, nullptr);
  card::Fat32Reader reader(std::move(v), g);
  EXPECT_EQ(reader.ListRoot().size(), 3u);
  EXPECT_FALSE(reader.rootDamaged());
}

TEST_F(DamagedRoot, ALoopingChainWithoutEndEntryIsDamaged) {
  fillDeleted(g.rootCluster, 3);  // after hc00info, hc01info and hcpt0000
  setFat(g.rootCluster, g.rootCluster);
  expectDamaged();
}

TEST_F(DamagedRoot, AChainHoldingMoreEntriesThanADirectoryMayIsDamaged) {
  fillDeleted(g.rootCluster, 3);
  // Distinct clusters from the end of the volume, all deleted entries, then a proper end mark.
  const uint32_t needed = uint32_t(65536 / (clusterBytes / 32)) + 1;
  uint32_t c = g.rootCluster;
  for (uint32_t i = 0; i < needed; ++i) {
    const uint32_t next = uint32_t(g.clusterCount) + 1 - i;
    setFat(c, next);
    fillDeleted(next, 0);
    c = next;
  }
  setFat(c, 0x0FFFFFFF);
  expectDamaged();
}

}  // namespace
