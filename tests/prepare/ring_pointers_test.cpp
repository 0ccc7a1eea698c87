// Pointer values after clearing, erase and recovery.
#include <gtest/gtest.h>

#include "prepare/ring_pointers.h"

using card::ServiceSector;
using prepare::RecoverOutcome;
using prepare::RecoverRecords;
using prepare::RegionPlace;

namespace {

constexpr uint32_t kUnset = 0xFFFFFFFF;
// A region of 64 blocks starting at card sector 8192 + 4096.
const RegionPlace kPlace{8192, 4096, 64 * 256};
constexpr uint32_t kRsr = 8192 + 4096;

ServiceSector Used(uint32_t bgn, uint32_t end) {
  ServiceSector s;
  card::InitServiceSector(s, card::RegionGeometry{1, 64 * 256, 64 * 256, 64 * 256});
  s.set_rsr_sectnum(kRsr);
  s.set_rec_bgn_sectnum(bgn);
  s.set_rec_end_sectnum(end);
  return s;
}

}  // namespace

TEST(ClearAndErase, MoveOnlyThePointers) {
  ServiceSector s = Used(kRsr + 10 * 256, kRsr + 20 * 256);
  const ServiceSector before = s;
  prepare::ClearCard(s);
  EXPECT_EQ(s.rec_bgn_sectnum(), kRsr + 20 * 256);
  EXPECT_EQ(s.rec_end_sectnum(), kRsr + 20 * 256);
  prepare::EraseCard(s);
  EXPECT_EQ(s.rec_bgn_sectnum(), kUnset);
  EXPECT_EQ(s.rec_end_sectnum(), kUnset);
  for (size_t i = 0; i < 512; ++i)
    if (i < 0x78 || i >= 0x80) {
      EXPECT_EQ(s.bytes()[i], before.bytes()[i]) << i;
    }

  ServiceSector unset = Used(kUnset, kUnset);
  prepare::ClearCard(unset);  // both unset: written back the same
  EXPECT_EQ(unset.rec_bgn_sectnum(), kUnset);
  EXPECT_EQ(unset.rec_end_sectnum(), kUnset);
}

TEST(RecoverRecords, AfterEraseTakesTheRegionFromTheDirectoryWalk) {
  ServiceSector s = Used(kUnset, kUnset);
  s.set_N_sectors_in_rsr(kUnset);
  s.set_rsr_sectnum(kUnset);
  ASSERT_EQ(RecoverRecords(s, kPlace), RecoverOutcome::ready);
  EXPECT_EQ(s.rsr_sectnum(), kRsr);
  EXPECT_EQ(s.N_sectors_in_rsr(), 64u * 256);
  EXPECT_EQ(s.rec_bgn_sectnum(), kRsr);
  EXPECT_EQ(s.rec_end_sectnum(), kRsr + 63 * 256);
}

TEST(RecoverRecords, EmptyRingMovesTheEndBackOneBlockWithWrap) {
  ServiceSector atStart = Used(kRsr, kRsr);
  ASSERT_EQ(RecoverRecords(atStart, kPlace), RecoverOutcome::ready);
  EXPECT_EQ(atStart.rec_bgn_sectnum(), kRsr);
  EXPECT_EQ(atStart.rec_end_sectnum(), kRsr + 64 * 256 - 256);

  ServiceSector inside = Used(kRsr + 5 * 256, kRsr + 5 * 256);
  ASSERT_EQ(RecoverRecords(inside, RegionPlace{}), RecoverOutcome::ready);  // walk not needed
  EXPECT_EQ(inside.rec_end_sectnum(), kRsr + 4 * 256);
  EXPECT_EQ(inside.rec_bgn_sectnum(), kRsr + 5 * 256);
}

TEST(RecoverRecords, RefusalsLeaveTheSectorAlone) {
  ServiceSector withRecords = Used(kRsr, kRsr + 3 * 256);
  const ServiceSector before = withRecords;
  EXPECT_EQ(RecoverRecords(withRecords, kPlace), RecoverOutcome::ringNotEmpty);
  EXPECT_EQ(withRecords.bytes(), before.bytes());

  // The walk did not size the region: an empty region is never declared.
  ServiceSector erased = Used(kUnset, kUnset);
  const ServiceSector erasedBefore = erased;
  EXPECT_EQ(RecoverRecords(erased, RegionPlace{8192, 4096, 0}), RecoverOutcome::regionUnknown);
  EXPECT_EQ(RecoverRecords(erased, RegionPlace{8192, 4096, 255}), RecoverOutcome::regionUnknown);
  EXPECT_EQ(erased.bytes(), erasedBefore.bytes());

  // A pointer off the block grid.
  ServiceSector offGrid = Used(kRsr + 100, kRsr + 100);
  EXPECT_EQ(RecoverRecords(offGrid, kPlace), RecoverOutcome::notOnBlock);
  EXPECT_EQ(offGrid.rec_end_sectnum(), kRsr + 100);

  // A region size of 0 on the card would put the end before the region.
  ServiceSector noRegion = Used(kRsr, kRsr);
  noRegion.set_N_sectors_in_rsr(0);
  EXPECT_EQ(RecoverRecords(noRegion, kPlace), RecoverOutcome::notOnBlock);
}
