#include "records/reclist_medium.h"

#include <gtest/gtest.h>

#include "card/card_medium.h"
#include "cardsim/card_writer.h"
#include "cardsim/volume_image_sink.h"
#include "records/erase_last_record.h"
#include "records/ring_builder.h"
#include "support/fat_image.h"
#include "support/temp_dir.h"

using testsupport::TempDir;

namespace {

constexpr uint64_t kMiB = 1 << 20;

cardsim::Scenario TwoRecordings() {
  cardsim::Scenario s;
  s.info_only = true;  // the ring pointers and stamps are all this needs
  s.width = 352;
  s.height = 288;
  cardsim::RecordingSpec r;
  r.blocks = 3;
  s.recordings = {r, r};
  return s;
}

std::vector<records::TRecord> ScanView(const records::RecListMedium& m) {
  return testsupport::ScanWith(*m.reader, m.s_s_bgn, m.s_s_end, m.N_s_s).records;
}

}  // namespace

TEST(RecListMedium, EraseOnAMediumOpenedForReadingOpensItForWriting) {
  if (!testsupport::HaveFatTools()) GTEST_SKIP() << "dosfstools/mtools missing";
  TempDir dir;
  const std::string image = dir / "card.img";
  ASSERT_TRUE(testsupport::MakeMarkedVolume(image, dir.path(), 66000, {4 * kMiB, 4 * kMiB}));
  const cardsim::CardResult card = cardsim::WriteCardToVolumeImage(TwoRecordings(), image);
  ASSERT_TRUE(card.ok) << card.error;

  platform::NullNoticeSink notices;
  card::CardMedium medium(notices);
  ASSERT_TRUE(medium.OpenMedium(image));
  ASSERT_FALSE(medium.writable());
  records::RecListMedium view = records::RecListMediumOf(medium);
  const std::vector<records::TRecord> before = ScanView(view);
  ASSERT_EQ(before.size(), 2u);
  const uint32_t end = medium.serviceSector.rec_end_sectnum();

  ASSERT_TRUE(view.makeWritable(view));
  EXPECT_TRUE(medium.writable());
  EXPECT_EQ(records::EraseLastRecord(*view.serviceSector, before.back(), view.writeServiceSector),
            records::EraseOutcome::erased);

  ASSERT_TRUE(medium.OpenMedium(image));
  EXPECT_EQ(medium.serviceSector.rec_end_sectnum(), end - 3 * 256);
  const std::vector<records::TRecord> after = ScanView(records::RecListMediumOf(medium));
  ASSERT_EQ(after.size(), 1u);
  EXPECT_EQ(after[0].ess_index, before[0].ess_index);
}

TEST(RecListMedium, AnImageFolderIsNeverWritten) {
  TempDir dir;
  const cardsim::CardResult card = cardsim::WriteCardToFolder(TwoRecordings(), dir / "card");
  ASSERT_TRUE(card.ok) << card.error;
  platform::NullNoticeSink notices;
  card::CardMedium medium(notices);
  ASSERT_TRUE(medium.OpenMedium(dir / "card"));
  records::RecListMedium view = records::RecListMediumOf(medium);
  EXPECT_TRUE(view.imageMode);
  EXPECT_FALSE(view.makeWritable(view));
  EXPECT_EQ(ScanView(view).size(), 2u);
}
