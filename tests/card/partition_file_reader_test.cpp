#include "card/partition_file_reader.h"

#include <gtest/gtest.h>

#include <thread>

#include "base/endian.h"
#include "card/card_files.h"
#include "support/fat_image.h"
#include "support/temp_dir.h"

using card::RegionReadResult;
using testsupport::TempDir;

namespace {

// A partition file whose every sector starts with (file number << 24 | sector number).
std::vector<uint8_t> NumberedSectors(uint32_t file, uint32_t sectors) {
  std::vector<uint8_t> bytes(size_t(sectors) * 512);
  for (uint32_t s = 0; s < sectors; ++s) base::store_le32(&bytes[size_t(s) * 512], file << 24 | s);
  return bytes;
}

uint32_t Tag(const base::Sector& s) { return base::load_le32(s.data()); }

// A folder with info files and three partition files of 8, 8 and 3 sectors.
struct NumberedFolder {
  TempDir dir;
  std::shared_ptr<card::FolderFileSystem> files;
  card::CardFiles check;
  NumberedFolder() {
    testsupport::WriteFile(dir / "hc00info.hcf", 512);
    testsupport::WriteFile(dir / "hc01info.hcf", 512);
    testsupport::WriteFile(dir / "hcpt0000.hcf", 8 * 512, NumberedSectors(0, 8));
    testsupport::WriteFile(dir / "hcpt0001.hcf", 8 * 512, NumberedSectors(1, 8));
    testsupport::WriteFile(dir / "hcpt0002.hcf", 3 * 512, NumberedSectors(2, 3));
    files = std::make_shared<card::FolderFileSystem>(dir.path().string());
    check = card::CheckCardFiles(*files);
  }
  card::PartitionFileReader reader() { return {files, check.names, check.region}; }
};

}  // namespace

TEST(PartitionFileReader, MapsRegionSectorsToFilesAndOffsets) {
  NumberedFolder f;
  ASSERT_TRUE(f.check.marked);
  auto r = f.reader();
  base::Sector s{};
  ASSERT_EQ(r.read_sector(0, s), RegionReadResult::ok);
  EXPECT_EQ(Tag(s), 0x00000000u);
  ASSERT_EQ(r.read_sector(8, s), RegionReadResult::ok);  // first sector of the second file
  EXPECT_EQ(Tag(s), 0x01000000u);
  ASSERT_EQ(r.read_sector(18, s), RegionReadResult::ok);  // last sector of the last file
  EXPECT_EQ(Tag(s), 0x02000002u);
  EXPECT_EQ(r.reads(), 3u);
}

TEST(PartitionFileReader, FailsPastTheLastFileAndPastAShortLastFile) {
  NumberedFolder f;
  auto r = f.reader();
  base::Sector s{};
  EXPECT_EQ(r.read_sector(19, s), RegionReadResult::beyond_file);  // offset 3 == its count
  EXPECT_EQ(r.read_sector(23, s), RegionReadResult::beyond_file);
  EXPECT_EQ(r.read_sector(24, s), RegionReadResult::no_file);
}

TEST(PartitionFileReader, ASectorAtTheFilesCountIsPastTheFile) {
  // The region geometry claims more than the file holds: the file-count test catches
  // offset == count, the read itself catches a file shorter than claimed.
  NumberedFolder f;
  card::RegionGeometry g = f.check.region;
  card::PartitionFileReader r(f.files, f.check.names, g);
  base::Sector s{};
  EXPECT_EQ(r.read_sector(2 * 8 + 3, s), RegionReadResult::beyond_file);
  g.N_sectors_in_the_last_rsf = 5;  // larger than the real 3 sectors
  card::PartitionFileReader lying(f.files, f.check.names, g);
  EXPECT_EQ(lying.read_sector(2 * 8 + 4, s), RegionReadResult::short_read);
}

TEST(PartitionFileReader, KeepsOneFileOpenUntilAnotherIsNeeded) {
  NumberedFolder f;
  auto r = f.reader();
  base::Sector s{};
  for (uint32_t i = 0; i < 8; ++i) ASSERT_EQ(r.read_sector(i, s), RegionReadResult::ok);
  EXPECT_EQ(r.opens(), 1u);
  ASSERT_EQ(r.read_sector(9, s), RegionReadResult::ok);
  ASSERT_EQ(r.read_sector(10, s), RegionReadResult::ok);
  EXPECT_EQ(r.opens(), 2u);
  ASSERT_EQ(r.read_sector(7, s), RegionReadResult::ok);  // back again: reopened
  EXPECT_EQ(r.opens(), 3u);
  r.close();
  ASSERT_EQ(r.read_sector(6, s), RegionReadResult::ok);
  EXPECT_EQ(Tag(s), 6u);
  EXPECT_EQ(r.opens(), 4u);
}

TEST(PartitionFileReader, ServesSeveralThreadsOneAtATime) {
  NumberedFolder f;
  auto r = f.reader();
  std::atomic<int> wrong{0};
  auto work = [&](uint32_t first) {
    base::Sector s{};
    for (int round = 0; round < 200; ++round)
      for (uint32_t i = first; i < 19; i += 5) {
        const uint32_t want = (i / 8) << 24 | (i % 8);
        if (r.read_sector(i, s) != RegionReadResult::ok || Tag(s) != want) ++wrong;
      }
  };
  std::thread a(work, 0), b(work, 2);
  a.join();
  b.join();
  EXPECT_EQ(wrong.load(), 0);
}

TEST(PartitionFileReader, AZeroSizedFirstFileReadsNothing) {
  TempDir dir;
  testsupport::WriteFile(dir / "hc00info.hcf", 512);
  testsupport::WriteFile(dir / "hc01info.hcf", 512);
  testsupport::WriteFile(dir / "hcpt0000.hcf", 0);
  auto files = std::make_shared<card::FolderFileSystem>(dir.path().string());
  const card::CardFiles check = card::CheckCardFiles(*files);
  card::PartitionFileReader r(files, check.names, check.region);
  base::Sector s{};
  EXPECT_EQ(r.read_sector(0, s), RegionReadResult::no_file);
}

TEST(PartitionFileReader, ReadsFragmentedFilesThroughTheFatReader) {
  if (!testsupport::HaveFatTools()) GTEST_SKIP() << "dosfstools/mtools missing";
  TempDir dir;
  const std::string image = dir / "card.img";
  ASSERT_TRUE(testsupport::MakeFatVolume(image, 66000, 32));
  // A hole left by a deleted file makes the next large file fragmented.
  ASSERT_TRUE(testsupport::WriteFile(dir / "small", 64 * 1024));
  ASSERT_TRUE(testsupport::CopyIntoVolume(image, dir / "small", "gap.bin"));
  ASSERT_TRUE(testsupport::WriteFile(dir / "i", 4096));
  ASSERT_TRUE(testsupport::CopyIntoVolume(image, dir / "i", "hc00info.hcf"));
  ASSERT_TRUE(testsupport::CopyIntoVolume(image, dir / "i", "hc01info.hcf"));
  ASSERT_EQ(testsupport::RunCommand("MTOOLS_SKIP_CHECK=1 mdel -i '" + image + "' ::gap.bin").status, 0);
  // Forget the FSInfo next-free hint (sector 1, offset 0x1EC) so the allocator starts low.
  ASSERT_EQ(testsupport::RunCommand("printf '\\377\\377\\377\\377' | dd of='" + image +
                                    "' bs=1 seek=1004 conv=notrunc status=none")
                .status,
            0);
  const uint32_t sectors = 5000;  // 2.4 MiB: crosses the gap and the read-ahead window
  ASSERT_TRUE(testsupport::WriteFile(dir / "p", sectors * 512, NumberedSectors(0, sectors)));
  ASSERT_TRUE(testsupport::CopyIntoVolume(image, dir / "p", "hcpt0000.hcf"));

  auto volume = std::shared_ptr<platform::RawVolume>(platform::OpenFileVolume(image, false, nullptr));
  auto reader = std::make_shared<card::Fat32Reader>(volume, card::RecogniseVolumeOn(*volume));
  const auto entry = reader->FindInRoot("hcpt0000.hcf");
  ASSERT_TRUE(entry);
  const auto extents = reader->Extents(entry->firstCluster, entry->size);
  ASSERT_TRUE(extents);
  EXPECT_GE(extents->size(), 2u);

  auto files = std::make_shared<card::FatFileSystem>(reader, image);
  const card::CardFiles check = card::CheckCardFiles(*files);
  ASSERT_TRUE(check.marked);
  card::PartitionFileReader r(files, check.names, check.region);
  base::Sector s{};
  for (uint32_t i = 0; i < sectors; ++i) {
    ASSERT_EQ(r.read_sector(i, s), RegionReadResult::ok) << i;
    ASSERT_EQ(Tag(s), i);
  }
  ASSERT_EQ(r.read_sector(123, s), RegionReadResult::ok);  // backwards: refills
  EXPECT_EQ(Tag(s), 123u);
  EXPECT_EQ(r.opens(), 1u);
}
