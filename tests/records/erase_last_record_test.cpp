#include "records/erase_last_record.h"

#include <gtest/gtest.h>

using records::EraseLastRecord;
using records::EraseLastRecordEnd;
using records::EraseOutcome;
using records::TRecord;

namespace {

constexpr uint32_t kRsr = 10000;         // absolute sector of the region's start
constexpr uint32_t kBlocks = 100;        // blocks in the ring
constexpr uint32_t kRegion = kBlocks * 256;

card::ServiceSector Service(uint32_t beginBlock, uint32_t endBlock) {
  card::ServiceSector s;
  s.set_rsr_sectnum(kRsr);
  s.set_N_sectors_in_rsr(kRegion);
  s.set_rec_bgn_sectnum(kRsr + beginBlock * 256);
  s.set_rec_end_sectnum(kRsr + endBlock * 256);
  return s;
}

TRecord Record(int32_t first, int32_t last) {
  TRecord r;
  r.bss_index = first;
  r.ess_index = last;
  r.ess.set_N_sectors_in_rsr(kRegion);
  return r;
}

}  // namespace

TEST(EraseLastRecord, ThreeBlockRecordMovesTheEndBackBy768Sectors) {
  const card::ServiceSector s = Service(0, 50);
  EXPECT_EQ(EraseLastRecordEnd(s, Record(48, 50)), kRsr + 50 * 256 - 768);
}

TEST(EraseLastRecord, CrossingTheRegionStartWrapsByTheRegionSize) {
  // Blocks 99, 0, 1 with the ring end in block 1.
  const card::ServiceSector s = Service(90, 1);
  EXPECT_EQ(EraseLastRecordEnd(s, Record(99, 1)), kRsr + 256 - 768 + kRegion);
}

TEST(EraseLastRecord, UnusedBlocksAfterTheRecordingGoWithIt) {
  // The recording ends at block 45; blocks 46..50 up to the ring end hold nothing. Moving the
  // end back by only its 3 blocks would leave its first block listed as a recording.
  const card::ServiceSector s = Service(0, 50);
  EXPECT_EQ(EraseLastRecordEnd(s, Record(43, 45)), kRsr + 42 * 256);
}

TEST(EraseLastRecord, RefusesEndsThatAreNoBlockBoundaryOrOutsideTheRegion) {
  card::ServiceSector unaligned = Service(0, 50);
  unaligned.set_rec_end_sectnum(kRsr + 50 * 256 + 7);
  EXPECT_FALSE(EraseLastRecordEnd(unaligned, Record(48, 50)));

  card::ServiceSector outside = Service(0, 50);
  outside.set_rec_end_sectnum(kRsr + kRegion);
  EXPECT_FALSE(EraseLastRecordEnd(outside, Record(48, 50)));

  card::ServiceSector before = Service(0, 50);
  before.set_rec_end_sectnum(kRsr - 256);
  EXPECT_FALSE(EraseLastRecordEnd(before, Record(48, 50)));
}

TEST(EraseLastRecord, RefusesARecordingOutsideTheRecordedPartOfTheRing) {
  const card::ServiceSector s = Service(10, 50);
  EXPECT_FALSE(EraseLastRecordEnd(s, Record(60, 62)));  // after the ring end
  EXPECT_FALSE(EraseLastRecordEnd(s, Record(10, 12)));  // the ring start block is never listed
  EXPECT_FALSE(EraseLastRecordEnd(s, Record(-1, 3)));
}

TEST(EraseLastRecord, WorksBeyondTwoToTheThirtyOneSectors) {
  card::ServiceSector s;
  const uint32_t rsr = 0x90000000u;
  s.set_rsr_sectnum(rsr);
  s.set_N_sectors_in_rsr(kRegion);
  s.set_rec_bgn_sectnum(rsr);
  s.set_rec_end_sectnum(rsr + 10 * 256);
  EXPECT_EQ(EraseLastRecordEnd(s, Record(8, 10)), rsr + 7 * 256);
}

TEST(EraseLastRecord, WritesTheNewEndAndRestoresTheCopyWhenTheWriteFails) {
  card::ServiceSector s = Service(0, 50);
  uint32_t written = 0;
  EXPECT_EQ(EraseLastRecord(s, Record(48, 50),
                            [&] {
                              written = s.rec_end_sectnum();
                              return true;
                            }),
            EraseOutcome::erased);
  EXPECT_EQ(written, kRsr + 47 * 256);
  EXPECT_EQ(s.rec_end_sectnum(), kRsr + 47 * 256);

  card::ServiceSector readOnly = Service(0, 50);
  EXPECT_EQ(EraseLastRecord(readOnly, Record(48, 50), [] { return false; }),
            EraseOutcome::write_failed);
  EXPECT_EQ(readOnly.rec_end_sectnum(), kRsr + 50 * 256);

  bool called = false;
  card::ServiceSector bad = Service(0, 50);
  bad.set_rec_end_sectnum(kRsr + 3);
  EXPECT_EQ(EraseLastRecord(bad, Record(48, 50), [&] { return called = true; }),
            EraseOutcome::refused);
  EXPECT_FALSE(called);
}
