#include "card/card_medium.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "platform/faulty_volume.h"
#include "platform/memory_volume.h"
#include "support/fat_image.h"
#include "support/temp_dir.h"

using testsupport::RunCommand;
using testsupport::TempDir;

namespace {

constexpr uint64_t kMiB = 1 << 20;

struct RecordingSink final : platform::NoticeSink {
  std::vector<std::string> texts;
  void notice(platform::NoticeKind, const std::string& text) override { texts.push_back(text); }
};

// A card service sector as the recorder leaves it: defaults, geometry, pointers.
card::ServiceSector UsedServiceSector(uint32_t rsr, uint32_t regionSectors) {
  card::ServiceSector s;
  card::InitServiceSector(s, card::RegionGeometry{1, regionSectors, regionSectors, regionSectors});
  s.set_rsr_sectnum(rsr);
  s.set_rec_bgn_sectnum(rsr + 3 * 256);
  s.set_rec_end_sectnum(rsr + 10 * 256);
  s.set_av_quality_level(1);
  return s;
}

std::vector<uint8_t> Bytes(const card::ServiceSector& s) {
  return std::vector<uint8_t>(s.bytes().begin(), s.bytes().end());
}

std::vector<uint8_t> ReadFileBytes(const std::string& path, size_t n) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> out(n);
  in.read(reinterpret_cast<char*>(out.data()), std::streamsize(n));
  out.resize(size_t(in.gcount()));
  return out;
}

// First sector of a file inside a FAT image, copied out with mtools.
std::vector<uint8_t> FirstSectorByMtools(const TempDir& dir, const std::string& image,
                                         const std::string& name) {
  const std::string out = dir / ("out-" + name);
  RunCommand("MTOOLS_SKIP_CHECK=1 mcopy -o -i '" + image + "' ::" + name + " '" + out + "'");
  return ReadFileBytes(out, 512);
}

}  // namespace

TEST(CardMedium, OpensAnImageFolderReadOnly) {
  TempDir dir;
  const card::ServiceSector ss = UsedServiceSector(5000, 8192);
  ASSERT_TRUE(testsupport::WriteFile(dir / "hc00info.hcf", kMiB, Bytes(ss)));
  ASSERT_TRUE(testsupport::WriteFile(dir / "hc01info.hcf", kMiB));
  ASSERT_TRUE(testsupport::WriteFile(dir / "hcpt0000.hcf", 4 * kMiB));
  RecordingSink sink;
  card::CardMedium m(sink);
  ASSERT_TRUE(m.OpenMedium(dir.path().string()));  // no trailing slash: one is added
  EXPECT_EQ(m.mediumPath, dir.path().string() + "/");
  EXPECT_TRUE(m.imageMode);
  EXPECT_TRUE(m.marked);
  EXPECT_EQ(m.partitionStart, 0u);
  EXPECT_EQ(m.hc00infoSector, 0xFFFFFFFFu);
  EXPECT_EQ(m.hcpt0000Sector, 0xFFFFFFFFu);
  EXPECT_EQ(m.volumeSectors(), 8192u);  // the record space is the whole image
  EXPECT_EQ(m.serviceSector.bytes(), ss.bytes());
  EXPECT_EQ(m.N_s_s, 32u);
  EXPECT_EQ(m.s_s_bgn, 3u);
  EXPECT_EQ(m.s_s_end, 10u);
  EXPECT_FALSE(m.WriteCardServiceSector());
  EXPECT_TRUE(sink.texts.empty());
}

TEST(CardMedium, AMissingMediumRaisesTheOpenError) {
  RecordingSink sink;
  card::CardMedium m(sink);
  EXPECT_FALSE(m.OpenMedium("/nonexistent/card.img"));
  ASSERT_EQ(sink.texts.size(), 1u);
  EXPECT_EQ(sink.texts[0], "Невозможно открыть сменный носитель");
  EXPECT_FALSE(m.volumeOpen);
}

TEST(CardMedium, ReadsAndWritesTheServiceSectorOfAMarkedVolumeImage) {
  if (!testsupport::HaveFatTools()) GTEST_SKIP() << "dosfstools/mtools missing";
  TempDir dir;
  const std::string image = dir / "card.img";
  const card::ServiceSector ss = UsedServiceSector(7000, 16384);
  ASSERT_TRUE(testsupport::MakeMarkedVolume(image, dir.path(), 66000, {4 * kMiB, 4 * kMiB},
                                            kMiB, Bytes(ss)));
  RecordingSink sink;
  card::CardMedium m(sink);
  ASSERT_TRUE(m.OpenMedium(image));
  EXPECT_EQ(m.kind, card::MediumKind::volumeImage);
  EXPECT_TRUE(m.marked);
  EXPECT_FALSE(m.emptyFat32);
  EXPECT_EQ(m.region.N_rsf, 2u);
  EXPECT_EQ(m.region.N_sectors_in_rsr, 16384u);
  EXPECT_EQ(m.dirRegionSectors, 16384u);
  EXPECT_EQ(m.cardLength, 66000u * 1024);
  EXPECT_EQ(m.serviceSector.bytes(), ss.bytes());
  EXPECT_EQ(m.s_s_end, 10u);

  // Opened read-only: the write is refused and the image stays as it was.
  m.serviceSector.set_rec_bgn_sectnum(m.serviceSector.rec_end_sectnum());
  EXPECT_FALSE(m.WriteCardServiceSector());
  EXPECT_EQ(FirstSectorByMtools(dir, image, "hc00info.hcf"), Bytes(ss));

  // Opened for writing: both copies carry the new sector.
  ASSERT_TRUE(m.OpenMedium(image, card::OpenOptions{.writable = true}));
  m.serviceSector.set_rec_bgn_sectnum(m.serviceSector.rec_end_sectnum());
  ASSERT_TRUE(m.WriteCardServiceSector());
  const std::vector<uint8_t> written = Bytes(m.serviceSector);
  EXPECT_EQ(FirstSectorByMtools(dir, image, "hc00info.hcf"), written);
  EXPECT_EQ(FirstSectorByMtools(dir, image, "hc01info.hcf"), written);
  ASSERT_TRUE(m.OpenMedium(image));
  EXPECT_EQ(m.s_s_bgn, m.s_s_end);
  EXPECT_TRUE(sink.texts.empty());
}

TEST(CardMedium, ReadsTheServiceSectorThroughTheFilesWhenTheWalkMissesIt) {
  if (!testsupport::HaveFatTools()) GTEST_SKIP() << "dosfstools/mtools missing";
  TempDir dir;
  const std::string image = dir / "card.img";
  const card::ServiceSector ss = UsedServiceSector(7000, 8192);
  ASSERT_TRUE(testsupport::MakeFatVolume(image, 66000, 32));
  ASSERT_TRUE(testsupport::WriteFile(dir / "p", 4 * kMiB));
  ASSERT_TRUE(testsupport::WriteFile(dir / "i", kMiB, Bytes(ss)));
  // hcpt0000 first: the walk's chain then ends at hc00info, which stays unfound.
  ASSERT_TRUE(testsupport::CopyIntoVolume(image, dir / "p", "hcpt0000.hcf"));
  ASSERT_TRUE(testsupport::CopyIntoVolume(image, dir / "i", "hc00info.hcf"));
  ASSERT_TRUE(testsupport::CopyIntoVolume(image, dir / "i", "hc01info.hcf"));
  RecordingSink sink;
  card::CardMedium m(sink);
  ASSERT_TRUE(m.OpenMedium(image, card::OpenOptions{.writable = true}));
  EXPECT_TRUE(m.marked);
  EXPECT_EQ(m.hc00infoSector, 0u);
  EXPECT_NE(m.hcpt0000Sector, 0u);
  EXPECT_EQ(m.serviceSector.bytes(), ss.bytes());  // not the boot sector
  EXPECT_FALSE(m.WriteCardServiceSector());
}

TEST(CardMedium, FindsTheVolumeInsideAWholeDiskImage) {
  if (!testsupport::HaveFatTools()) GTEST_SKIP() << "dosfstools/mtools missing";
  TempDir dir;
  const std::string volume = dir / "vol.img";
  const card::ServiceSector ss = UsedServiceSector(9000, 8192);
  ASSERT_TRUE(testsupport::MakeMarkedVolume(volume, dir.path(), 66000, {4 * kMiB}, kMiB, Bytes(ss)));
  struct Layout {
    std::string script;
    uint32_t start;
  };
  for (const Layout& l : {Layout{"start=8192, size=132000, type=c", 8192},
                          Layout{"start=2048, size=4096, type=83\\nstart=8192, size=132000, type=c",
                                 8192}}) {
    const std::string disk = dir / "disk.img";
    ASSERT_TRUE(testsupport::MakeDiskImage(disk, 80, l.script, volume, l.start));
    RecordingSink sink;
    card::CardMedium m(sink);
    ASSERT_TRUE(m.OpenMedium(disk));
    EXPECT_EQ(m.kind, card::MediumKind::diskImage);
    EXPECT_EQ(m.partitionStart, 8192u) << l.script;
    EXPECT_EQ(m.cardLength, 132000u * 512);
    EXPECT_TRUE(m.marked) << l.script;
    EXPECT_EQ(m.serviceSector.bytes(), ss.bytes());
    EXPECT_TRUE(sink.texts.empty());
  }
}

TEST(CardMedium, GarbageFileIsAnUnformattedVolume) {
  TempDir dir;
  ASSERT_TRUE(testsupport::WriteFile(dir / "junk.img", 4 * kMiB, std::vector<uint8_t>(512, 0x5A)));
  RecordingSink sink;
  card::CardMedium m(sink);
  ASSERT_TRUE(m.OpenMedium(dir / "junk.img"));
  EXPECT_FALSE(m.geometry.recognised);
  EXPECT_FALSE(m.marked);
  EXPECT_FALSE(m.emptyFat32);
  EXPECT_EQ(m.cardLength, 4 * kMiB);
}

namespace {

// A marked volume image loaded into memory behind a fault-injecting wrapper.
std::shared_ptr<platform::FaultyVolume> FaultyMarkedVolume(const TempDir& dir,
                                                           const card::ServiceSector& ss) {
  const std::string image = dir / "card.img";
  if (!testsupport::MakeMarkedVolume(image, dir.path(), 66000, {4 * kMiB, 4 * kMiB}, kMiB,
                                     Bytes(ss)))
    return nullptr;
  auto memory = std::make_shared<platform::MemoryVolume>(ReadFileBytes(image, 66000 * 1024));
  return std::make_shared<platform::FaultyVolume>(memory);
}

}  // namespace

TEST(CardMediumFaults, AFailedSecondWriteIsReportedAsFailure) {
  if (!testsupport::HaveFatTools()) GTEST_SKIP() << "dosfstools/mtools missing";
  TempDir dir;
  const card::ServiceSector ss = UsedServiceSector(7000, 16384);
  auto volume = FaultyMarkedVolume(dir, ss);
  ASSERT_TRUE(volume);
  RecordingSink sink;
  card::CardMedium m(sink);
  ASSERT_TRUE(m.OpenMediumOn(volume, "mem"));
  ASSERT_TRUE(m.marked);
  volume->fail_write_on(2);
  EXPECT_FALSE(m.WriteCardServiceSector());
  EXPECT_EQ(volume->writes(), 2u);
  EXPECT_TRUE(m.WriteCardServiceSector());  // the fault was one-off
}

TEST(CardMediumFaults, APulledCardFailsReadsAndKeepsTheWorkingCopy) {
  if (!testsupport::HaveFatTools()) GTEST_SKIP() << "dosfstools/mtools missing";
  TempDir dir;
  const card::ServiceSector ss = UsedServiceSector(7000, 16384);
  auto volume = FaultyMarkedVolume(dir, ss);
  ASSERT_TRUE(volume);
  RecordingSink sink;
  card::CardMedium m(sink);
  ASSERT_TRUE(m.OpenMediumOn(volume, "mem"));
  base::Sector s{};
  ASSERT_EQ(m.ReadRegionSector(0, s), card::RegionReadResult::ok);
  ASSERT_EQ(m.ReadRegionSector(1, s), card::RegionReadResult::ok);  // sequential: fills 1 MiB
  volume->pull_card();
  EXPECT_EQ(m.ReadRegionSector(2, s), card::RegionReadResult::ok);  // still in the read-ahead
  EXPECT_EQ(m.ReadRegionSector(8192 + 5, s), card::RegionReadResult::short_read);
  EXPECT_EQ(m.ReadRegionSector(4000, s), card::RegionReadResult::short_read);
  m.serviceSector.set_imei_sn(42);
  EXPECT_FALSE(m.ReadCardServiceSector());
  EXPECT_EQ(m.serviceSector.imei_sn(), 42u);
  EXPECT_FALSE(m.WriteCardServiceSector());
  // Reopening a pulled card finds nothing, and says so without crashing.
  ASSERT_TRUE(m.OpenMediumOn(volume, "mem"));
  EXPECT_FALSE(m.marked);
  EXPECT_FALSE(m.geometry.recognised);
}

TEST(CardMediumFaults, RawWritesNeedAWritableVolumeAndReportFailures) {
  RecordingSink sink;
  card::CardMedium m(sink);
  auto readOnly = std::make_shared<platform::MemoryVolume>(std::vector<uint8_t>(64 * 512), false);
  ASSERT_TRUE(m.OpenMediumOn(readOnly, "ro"));
  int calls = 0;
  EXPECT_FALSE(m.WithRawWrites([&](platform::RawVolume&) { return ++calls, true; }));
  EXPECT_EQ(calls, 0);

  auto memory = std::make_shared<platform::MemoryVolume>(std::vector<uint8_t>(64 * 512));
  auto faulty = std::make_shared<platform::FaultyVolume>(memory);
  ASSERT_TRUE(m.OpenMediumOn(faulty, "rw"));
  base::Sector s{};
  s.fill(0xAB);
  EXPECT_TRUE(m.WithRawWrites([&](platform::RawVolume& v) {
    return platform::WriteSectorAt(v, 3, s) && platform::WriteSectorAt(v, 4, s);
  }));
  EXPECT_EQ(memory->bytes()[4 * 512 + 511], 0xAB);
  faulty->fail_write_on(3);
  EXPECT_FALSE(m.WriteVolumeSector(5, s));
  EXPECT_EQ(memory->bytes()[5 * 512], 0);
  EXPECT_FALSE(m.WriteCardServiceSector());  // no info files located on this volume
}
