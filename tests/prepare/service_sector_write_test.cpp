// Storing a changed service sector on a marked volume, with failing writes injected: a failed
// write is returned as such and the medium keeps its previous sector.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <optional>

#include "card/card_medium.h"
#include "platform/faulty_volume.h"
#include "platform/memory_volume.h"
#include "prepare/ring_pointers.h"
#include "prepare/service_sector_write.h"
#include "support/fat_image.h"
#include "support/temp_dir.h"

using prepare::WriteOutcome;
using testsupport::TempDir;

namespace {

constexpr uint64_t kMiB = 1 << 20;

struct Silent final : platform::NoticeSink {
  void notice(platform::NoticeKind, const std::string&) override {}
};

// A marked volume image with begin/end pointers set, made once (mkfs.fat and mcopy are slow);
// each test gets its own in-memory copy behind a fault wrapper.
const std::optional<std::vector<uint8_t>>& MarkedImageBytes() {
  static const std::optional<std::vector<uint8_t>> bytes =
      []() -> std::optional<std::vector<uint8_t>> {
    if (!testsupport::HaveFatTools()) return std::nullopt;
    TempDir dir;
    card::ServiceSector s;
    card::InitServiceSector(s, card::RegionGeometry{1, 16384, 16384, 16384});
    s.set_rsr_sectnum(9000);
    s.set_rec_bgn_sectnum(9000 + 3 * 256);
    s.set_rec_end_sectnum(9000 + 10 * 256);
    const std::string image = dir / "card.img";
    if (!testsupport::MakeMarkedVolume(image, dir.path(), 66000, {8 * kMiB}, kMiB,
                                       std::vector<uint8_t>(s.bytes().begin(), s.bytes().end())))
      return std::nullopt;
    std::ifstream in(image, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
  }();
  return bytes;
}

std::shared_ptr<platform::FaultyVolume> MarkedVolume(bool writable = true) {
  const auto& bytes = MarkedImageBytes();
  if (!bytes) return nullptr;
  return std::make_shared<platform::FaultyVolume>(
      std::make_shared<platform::MemoryVolume>(*bytes, writable));
}

bool Clear(card::ServiceSector& s) {
  prepare::ClearCard(s);
  return true;
}

}  // namespace

TEST(ServiceSectorWrite, WrittenSectorIsReadBackFromBothCopies) {
  if (!testsupport::HaveFatTools()) GTEST_SKIP() << "dosfstools/mtools missing";
  auto volume = MarkedVolume();
  ASSERT_TRUE(volume);
  Silent sink;
  card::CardMedium m(sink);
  ASSERT_TRUE(m.OpenMediumOn(volume, "card"));
  ASSERT_TRUE(m.marked);
  EXPECT_EQ(prepare::ApplyToCardServiceSector(m, Clear), WriteOutcome::written);
  EXPECT_EQ(m.serviceSector.rec_bgn_sectnum(), 9000u + 10 * 256);
  EXPECT_EQ(m.s_s_bgn, m.s_s_end);
  const card::ServiceSector written = m.serviceSector;
  ASSERT_TRUE(m.OpenMediumOn(volume, "card"));
  EXPECT_EQ(m.serviceSector.bytes(), written.bytes());
  base::Sector second{};
  ASSERT_TRUE(platform::ReadSectorAt(*volume, m.hc01infoSector, second));
  EXPECT_EQ(second, written.bytes());
}

TEST(ServiceSectorWrite, FailedWriteAtEitherCopyIsReportedAndTheMediumKeepsItsSector) {
  if (!testsupport::HaveFatTools()) GTEST_SKIP() << "dosfstools/mtools missing";
  for (uint64_t failing : {1, 2}) {
    SCOPED_TRACE("write " + std::to_string(failing) + " fails");
    auto volume = MarkedVolume();
    ASSERT_TRUE(volume);
    Silent sink;
    card::CardMedium m(sink);
    ASSERT_TRUE(m.OpenMediumOn(volume, "card"));
    const card::ServiceSector before = m.serviceSector;
    const uint32_t bgnBlock = m.s_s_bgn;
    volume->fail_write_on(volume->writes() + failing);
    EXPECT_EQ(prepare::ApplyToCardServiceSector(m, Clear), WriteOutcome::failed);
    EXPECT_EQ(m.serviceSector.bytes(), before.bytes());
    EXPECT_EQ(m.s_s_bgn, bgnBlock);
  }
}

TEST(ServiceSectorWrite, RefusesWithoutWritingWhenNotPossible) {
  if (!testsupport::HaveFatTools()) GTEST_SKIP() << "dosfstools/mtools missing";
  Silent sink;
  card::CardMedium m(sink);

  auto readOnly = MarkedVolume(false);
  ASSERT_TRUE(readOnly);
  ASSERT_TRUE(m.OpenMediumOn(readOnly, "card"));
  EXPECT_EQ(prepare::ApplyToCardServiceSector(m, Clear), WriteOutcome::refused);
  EXPECT_EQ(readOnly->writes(), 0u);

  auto writable = MarkedVolume();
  ASSERT_TRUE(m.OpenMediumOn(writable, "card"));
  const uint64_t writes = writable->writes();
  EXPECT_EQ(prepare::ApplyToCardServiceSector(m, [](card::ServiceSector& s) {
              s.set_rec_end_sectnum(1);
              return false;  // the change declines (a refused recovery)
            }),
            WriteOutcome::refused);
  EXPECT_EQ(writable->writes(), writes);
  EXPECT_NE(m.serviceSector.rec_end_sectnum(), 1u);

  // A card that is not marked has no service sector to change.
  auto blank = std::make_shared<platform::MemoryVolume>(std::vector<uint8_t>(64 * 512), true);
  ASSERT_TRUE(m.OpenMediumOn(blank, "blank"));
  EXPECT_EQ(prepare::ApplyToCardServiceSector(m, Clear), WriteOutcome::refused);
}
