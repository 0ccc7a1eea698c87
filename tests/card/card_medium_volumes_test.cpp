// The card medium over volumes the recorder's own marking never makes: info files that are
// empty, too small or point outside the data area; FAT16 and FAT12 volumes holding the hc
// files; and volumes that are no FAT at all (exFAT, NTFS, blank).
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "base/endian.h"
#include "card/card_medium.h"
#include "card/card_state.h"
#include "support/fat_image.h"
#include "support/temp_dir.h"

using testsupport::RunCommand;
using testsupport::TempDir;

namespace {

constexpr uint64_t kMiB = 1 << 20;
constexpr const char* kMtools = "MTOOLS_SKIP_CHECK=1 MTOOLS_NO_VFAT=1 ";

struct RecordingSink final : platform::NoticeSink {
  std::vector<std::string> texts;
  void notice(platform::NoticeKind, const std::string& text) override { texts.push_back(text); }
};

card::ServiceSector ServiceSectorFor(uint32_t regionSectors) {
  card::ServiceSector s;
  card::InitServiceSector(s, card::RegionGeometry{1, regionSectors, regionSectors, regionSectors});
  s.set_imei_sn(4242);
  return s;
}

std::vector<uint8_t> Bytes(const card::ServiceSector& s) {
  return std::vector<uint8_t>(s.bytes().begin(), s.bytes().end());
}

std::vector<uint8_t> ReadBytes(const std::string& path, uint64_t offset, size_t n) {
  std::ifstream in(path, std::ios::binary);
  in.seekg(std::streamoff(offset));
  std::vector<uint8_t> out(n);
  in.read(reinterpret_cast<char*>(out.data()), std::streamsize(n));
  out.resize(size_t(in.gcount()));
  return out;
}

void WriteBytes(const std::string& path, uint64_t offset, const std::vector<uint8_t>& bytes) {
  std::fstream io(path, std::ios::binary | std::ios::in | std::ios::out);
  io.seekp(std::streamoff(offset));
  io.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::string Description(const card::CardMedium& m) {
  return card::DescribeCardState(card::CardStateInput::FromMedium(m)).description;
}

bool FsckClean(const std::string& image) {
  if (!testsupport::HaveProgram("fsck.fat")) return true;
  return RunCommand("fsck.fat -n '" + image + "'").status == 0;
}

}  // namespace

TEST(CardMediumInfoFiles, AnEmptyOrTooSmallInfoFileIsNeverWrittenRaw) {
  if (!testsupport::HaveFatTools()) GTEST_SKIP() << "dosfstools/mtools missing";
  // 0 bytes: first cluster 0, whose sector lies inside the FAT; 100 bytes: less than a sector.
  for (const uint64_t infoBytes : {uint64_t(0), uint64_t(100)}) {
    SCOPED_TRACE("info files of " + std::to_string(infoBytes) + " bytes");
    TempDir dir;
    const std::string image = dir / "card.img";
    ASSERT_TRUE(testsupport::MakeMarkedVolume(image, dir.path(), 66000, {4 * kMiB}, infoBytes));
    const std::vector<uint8_t> metadata = ReadBytes(image, 0, 4 * kMiB);  // boot, FATs, root

    RecordingSink sink;
    card::CardMedium m(sink);
    ASSERT_TRUE(m.OpenMedium(image, card::OpenOptions{.writable = true}));
    EXPECT_TRUE(m.marked);
    EXPECT_EQ(m.hc00infoSector, 0u);
    EXPECT_EQ(m.hc01infoSector, 0u);
    EXPECT_NE(m.hcpt0000Sector, 0u);
    EXPECT_FALSE(m.serviceSectorLocated());
    EXPECT_FALSE(m.WriteCardServiceSector());
    EXPECT_EQ(ReadBytes(image, 0, 4 * kMiB), metadata);
    EXPECT_TRUE(FsckClean(image));
    EXPECT_NE(Description(m).find("\nСлужебный сектор не найден на томе: запись на карту "
                                  "невозможна."),
              std::string::npos)
        << Description(m);
  }
}

TEST(CardMediumInfoFiles, AnInfoFileStartingPastTheDataAreaIsNotLocated) {
  if (!testsupport::HaveFatTools()) GTEST_SKIP() << "dosfstools/mtools missing";
  TempDir dir;
  const std::string image = dir / "card.img";
  const card::ServiceSector ss = ServiceSectorFor(8192);
  ASSERT_TRUE(testsupport::MakeMarkedVolume(image, dir.path(), 66000, {4 * kMiB}, kMiB, Bytes(ss)));
  const auto g = card::RecogniseVolumeAt(image);
  ASSERT_TRUE(g && g->isFat32);
  // Damage hc01info.hcf's entry: the high word of its first cluster points past the volume.
  const uint64_t root = uint64_t(g->rootDirSector) * 512;
  std::vector<uint8_t> dirSector = ReadBytes(image, root, 512);
  size_t entry = 512;
  for (size_t i = 0; i < 512; i += 32)
    if (std::string(dirSector.begin() + long(i), dirSector.begin() + long(i) + 11) == "HC01INFOHCF")
      entry = i;
  ASSERT_LT(entry, 512u);
  dirSector[entry + 0x14] = 0xFF;
  dirSector[entry + 0x15] = 0x0F;
  WriteBytes(image, root, dirSector);
  const auto sizeBefore = std::filesystem::file_size(image);
  const uint32_t hc00 = testsupport::FirstClusterByMtools(image, "hc00info.hcf");

  RecordingSink sink;
  card::CardMedium m(sink);
  ASSERT_TRUE(m.OpenMedium(image, card::OpenOptions{.writable = true}));
  EXPECT_EQ(m.hc00infoSector, g->clusterBase + hc00 * uint32_t(g->sectorsPerCluster));
  EXPECT_EQ(m.hc01infoSector, 0u);
  m.serviceSector.set_imei_sn(1);
  EXPECT_FALSE(m.WriteCardServiceSector());
  EXPECT_EQ(std::filesystem::file_size(image), sizeBefore);  // nothing written past the end
  EXPECT_EQ(ReadBytes(image, uint64_t(m.hc00infoSector) * 512, 512), Bytes(ss));
}

TEST(CardMediumFatTypes, Fat16AndFat12VolumesAreReadThroughOurReader) {
  if (!testsupport::HaveFatTools() || !testsupport::HaveProgram("mdel"))
    GTEST_SKIP() << "dosfstools/mtools missing";
  struct Case {
    int bits;
    uint64_t volumeKiB;
    const char* options;
  };
  for (const Case c : {Case{16, 32768, ""}, Case{12, 8192, "-s 8"}}) {
    SCOPED_TRACE("FAT" + std::to_string(c.bits));
    TempDir dir;
    const std::string image = dir / "card.img";
    const card::ServiceSector ss = ServiceSectorFor(4096);
    ASSERT_TRUE(testsupport::MakeFatVolume(image, c.volumeKiB, c.bits, c.options));
    ASSERT_TRUE(testsupport::WriteFile(dir / "info", 64 * 1024, Bytes(ss)));
    ASSERT_TRUE(testsupport::CopyIntoVolume(image, dir / "info", "hc00info.hcf"));
    ASSERT_TRUE(testsupport::CopyIntoVolume(image, dir / "info", "hc01info.hcf"));
    // Two holes left by deleted files make the partition file's chain jump.
    ASSERT_TRUE(testsupport::WriteFile(dir / "small", 1));
    for (const char* name : {"x1", "x2", "x3"})
      ASSERT_TRUE(testsupport::CopyIntoVolume(image, dir / "small", name));
    ASSERT_EQ(RunCommand(std::string(kMtools) + "mdel -i '" + image + "' ::x1 ::x3").status, 0);
    std::vector<uint8_t> part(2 * kMiB);
    for (uint32_t s = 0; s < 4096; ++s) base::store_le32(&part[s * 512], s);
    ASSERT_TRUE(testsupport::WriteFile(dir / "part", part.size(), part));
    ASSERT_TRUE(testsupport::CopyIntoVolume(image, dir / "part", "hcpt0000.hcf"));

    RecordingSink sink;
    card::CardMedium m(sink);
    ASSERT_TRUE(m.OpenMedium(image));
    EXPECT_EQ(m.geometry.isFat12, c.bits == 12);
    EXPECT_EQ(m.geometry.isFat16(), c.bits == 16);
    EXPECT_TRUE(m.marked);
    EXPECT_EQ(m.hc00infoSector, 0u);  // the raw walk stays FAT32-only
    EXPECT_EQ(m.region.N_sectors_in_rsr, 4096u);
    EXPECT_EQ(m.serviceSector.bytes(), ss.bytes());
    for (const uint32_t s : {0u, 1u, 2u, 3u, 7u, 8u, 9u, 100u, 2049u, 4095u}) {
      base::Sector sector{};
      ASSERT_EQ(m.ReadRegionSector(s, sector), card::RegionReadResult::ok) << s;
      EXPECT_EQ(base::load_le32(sector.data()), s);
    }
    EXPECT_EQ(card::ClassOf(card::CardStateInput::FromMedium(m)), card::CardClass::marked);
    EXPECT_FALSE(m.WriteCardServiceSector());
    EXPECT_TRUE(sink.texts.empty());
  }
}

TEST(CardMediumForeignVolumes, ShowTheirRealSizeAndNameWhatWasFound) {
  base::Sector exfat{}, ntfs{}, blank{};
  const uint8_t jump[3] = {0xEB, 0x76, 0x90};
  std::copy(jump, jump + 3, exfat.begin());
  std::copy(jump, jump + 3, ntfs.begin());
  std::memcpy(&exfat[3], "EXFAT   ", 8);
  std::memcpy(&ntfs[3], "NTFS    ", 8);
  base::store_le16(&ntfs[0x0B], 512);  // NTFS keeps FAT-like fields here
  ntfs[0x0D] = 8;
  for (base::Sector* s : {&exfat, &ntfs}) base::store_le16(&(*s)[0x1FE], 0xAA55);
  struct Case {
    const char* what;
    const base::Sector* boot;
    card::VolumeKind kind;
    std::string line;
  };
  for (const Case& c :
       {Case{"exFAT", &exfat, card::VolumeKind::exfat,
             "\nНайдена файловая система exFAT, нужна FAT32."},
        Case{"NTFS", &ntfs, card::VolumeKind::ntfs,
             "\nНайдена файловая система NTFS, нужна FAT32."},
        Case{"blank", &blank, card::VolumeKind::none, "\nФайловая система не найдена."}}) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string image = dir / "card.img";
    ASSERT_TRUE(testsupport::WriteFile(image, 40 * kMiB,
                                       std::vector<uint8_t>(c.boot->begin(), c.boot->end())));
    RecordingSink sink;
    card::CardMedium m(sink);
    ASSERT_TRUE(m.OpenMedium(image));
    EXPECT_FALSE(m.geometry.recognised);
    EXPECT_FALSE(m.marked);
    EXPECT_EQ(m.volumeKind, c.kind);
    EXPECT_EQ(Description(m),
              "Сменный носитель " + image + " не форматирован!\nОбъём 40MB" + c.line);
  }
}
