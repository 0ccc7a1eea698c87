#include "records/record_line.h"

#include <gtest/gtest.h>

using records::FormatDuration;
using records::RecordBlocks;
using records::RecordDuration;
using records::RecordLine;
using records::RecordPrefix;
using records::TRecord;

namespace {

TRecord Span(int32_t first, int32_t last, uint32_t ringSectors = 1000 * 256) {
  TRecord r;
  r.bss_index = first;
  r.ess_index = last;
  r.ess.set_N_sectors_in_rsr(ringSectors);
  return r;
}

}  // namespace

TEST(RecordLine, PrefixFollowsTheSerial) {
  EXPECT_EQ(RecordPrefix(0xFFFFFFFF), "Запись ");
  EXPECT_EQ(RecordPrefix(0), "[000000] ");
  EXPECT_EQ(RecordPrefix(12345), "[012345] ");
  EXPECT_EQ(RecordPrefix(1048575), "[1048575] ");  // upper 12 bits clear: still decimal
  EXPECT_EQ(RecordPrefix(1048576), "[00100000] ");
  EXPECT_EQ(RecordPrefix(0xABCDEF01), "[ABCDEF01] ");
}

TEST(RecordLine, DurationText) {
  EXPECT_EQ(FormatDuration(0), "0 ч 00 мин 00 с");
  EXPECT_EQ(FormatDuration(3909), "1 ч 05 мин 09 с");
  EXPECT_EQ(FormatDuration(750), "0 ч 12 мин 30 с");
  EXPECT_EQ(FormatDuration(100 * 3600 + 59 * 60 + 59), "100 ч 59 мин 59 с");
  EXPECT_EQ(FormatDuration(-1), "-- ч -- мин -- с");
  EXPECT_EQ(FormatDuration(INT32_MIN), "-- ч -- мин -- с");
}

TEST(RecordLine, BlocksCountWrapsWithTheRingSizeOfTheLastBlock) {
  EXPECT_EQ(RecordBlocks(Span(10, 10)), 1);
  EXPECT_EQ(RecordBlocks(Span(10, 19)), 10);
  EXPECT_EQ(RecordBlocks(Span(995, 4)), 10);
  // The ring size comes from the ess copy, not from the card.
  EXPECT_EQ(RecordBlocks(Span(995, 4, 2000 * 256)), 1010);
}

TEST(RecordLine, DurationFromTheStartCounterWhenTheFirstBlockIsTheStart) {
  TRecord r = Span(3, 3);  // one block, start bit set: the same sector's counters
  r.bss.set_recstate(1);
  r.ess.set_f_cclk_copy(1000);
  r.ess.set_startrec_cycles(5000);
  r.ess.set_cycles(5000 + 61999);
  EXPECT_EQ(RecordDuration(r), 61);
  r.bss.set_recstate(0);  // the same block without the start bit: unknown
  EXPECT_EQ(RecordDuration(r), -1);
}

TEST(RecordLine, ZeroClockFieldUsesTheDefaultClock) {
  TRecord r = Span(0, 5);
  r.bss.set_recstate(1);
  r.ess.set_f_cclk_copy(0);
  r.ess.set_startrec_cycles(100);
  r.ess.set_cycles(100 + 393216000);
  EXPECT_EQ(RecordDuration(r), 2);
}

TEST(RecordLine, DurationWithoutTheStartIsStretchedByOneAverageBlock) {
  TRecord r = Span(998, 2);  // wraps: 5 blocks, 4 block spans between first and last
  r.ess.set_f_cclk_copy(10);
  r.bss.set_cycles(1000);
  r.ess.set_cycles(1000 + 400);  // 40 s over 4 spans -> plus 10 s
  EXPECT_EQ(RecordDuration(r), 50);
}

TEST(RecordLine, CountersThatDoNotFitAreUnknown) {
  TRecord r = Span(0, 1);
  r.bss.set_recstate(1);
  r.ess.set_f_cclk_copy(1);
  r.ess.set_startrec_cycles(0);
  r.ess.set_cycles(uint64_t(1) << 31);  // low 32 bits would read as negative
  EXPECT_EQ(RecordDuration(r), -1);
  r.ess.set_cycles((uint64_t(1) << 32) + 5);  // would truncate to a plausible 5 s
  EXPECT_EQ(RecordDuration(r), -1);
  r.ess.set_startrec_cycles(10);  // counter went backwards
  r.ess.set_cycles(9);
  EXPECT_EQ(RecordDuration(r), -1);
  r.ess.set_cycles(INT32_MAX + uint64_t(10));
  EXPECT_EQ(RecordDuration(r), INT32_MAX);
}

TEST(RecordLine, LineJoinsPrefixStampAndDuration) {
  TRecord r = Span(1, 1);
  r.bss.set_imei_sn(12345);
  r.bss.set_ye(14), r.bss.set_mo(3), r.bss.set_md(5);
  r.bss.set_ho(14), r.bss.set_mi(7), r.bss.set_se(9);
  r.bss.set_recstate(1);
  r.ess.set_f_cclk_copy(1);
  r.ess.set_cycles(750);
  EXPECT_EQ(RecordLine(r), "[012345] 2014-03-05_14-07-09, длит. 0 ч 12 мин 30 с");
  r.bss.set_imei_sn(0xFFFFFFFF);
  r.bss.set_recstate(0);
  EXPECT_EQ(RecordLine(r), "Запись 2014-03-05_14-07-09, длит. -- ч -- мин -- с");
}
