#include "convert/conversion_queue.h"

#include <gtest/gtest.h>

using records::CheckSelection;
using convert::ConversionQueue;
using convert::ConvWorkerStatus;
using convert::QueueAction;
using convert::QueueStart;

namespace {

CheckSelection Lines(int n) {
  CheckSelection s;
  for (int i = 0; i < n; ++i) s.append();
  return s;
}

// Line i has (i + 1) * 10 blocks.
int32_t BlocksOf(int line) { return (line + 1) * 10; }

}  // namespace

TEST(ConversionQueue, NothingCheckedAndNoCurrentLineIsRefused) {
  CheckSelection s = Lines(3);
  ConversionQueue q;
  EXPECT_EQ(q.prepare(s, BlocksOf), QueueStart::nothing_selected);
  EXPECT_FALSE(q.converting());
}

TEST(ConversionQueue, NothingCheckedConvertsTheCurrentLineAndUnchecksItAfterwards) {
  CheckSelection s = Lines(4);
  s.set_current(2);
  ConversionQueue q;
  ASSERT_EQ(q.prepare(s, BlocksOf), QueueStart::ready);
  EXPECT_TRUE(s.checked(2));
  EXPECT_EQ(q.total_blocks(), 30);
  q.begin();

  QueueAction a = q.step(nullptr, s, BlocksOf);
  ASSERT_EQ(a.kind, QueueAction::start_record);
  EXPECT_EQ(a.record, 2);
  EXPECT_FALSE(a.release_worker);

  ConvWorkerStatus w;
  w.progress = 40;
  EXPECT_EQ(q.step(&w, s, BlocksOf).kind, QueueAction::wait);
  w.done = true;
  a = q.step(&w, s, BlocksOf);
  EXPECT_EQ(a.kind, QueueAction::finished);
  EXPECT_TRUE(a.release_worker);
  EXPECT_FALSE(s.checked(2));
  EXPECT_FALSE(q.converting());
}

TEST(ConversionQueue, ProgressWeighsEachRecordingByItsBlocks) {
  CheckSelection s = Lines(3);
  s.set_checked(0, true);  // 10 blocks
  s.set_checked(2, true);  // 30 blocks
  ConversionQueue q;
  ASSERT_EQ(q.prepare(s, BlocksOf), QueueStart::ready);
  q.begin();
  EXPECT_EQ(q.progress(false, 0), 0);
  ASSERT_EQ(q.step(nullptr, s, BlocksOf).record, 0);
  EXPECT_EQ(q.progress(true, 50), 12);  // (0 * 100 + 50 * 10) / 40

  ConvWorkerStatus done;
  done.done = true;
  const QueueAction a = q.step(&done, s, BlocksOf);
  EXPECT_EQ(a.kind, QueueAction::start_record);
  EXPECT_EQ(a.record, 2);
  EXPECT_TRUE(a.release_worker);
  EXPECT_EQ(q.progress(false, 0), 25);  // 10 * 100 / 40
  EXPECT_EQ(q.progress(true, 60), 70);  // (1000 + 60 * 30) / 40
}

TEST(ConversionQueue, FailureEndsTheQueueKeepingTheRestChecked) {
  CheckSelection s = Lines(3);
  s.select_all();
  ConversionQueue q;
  ASSERT_EQ(q.prepare(s, BlocksOf), QueueStart::ready);
  q.begin();
  q.step(nullptr, s, BlocksOf);
  ConvWorkerStatus w;
  w.done = true;
  ASSERT_EQ(q.step(&w, s, BlocksOf).record, 1);
  w = {};
  w.failed = true;
  w.errorCode = 1021;
  const QueueAction a = q.step(&w, s, BlocksOf);
  EXPECT_EQ(a.kind, QueueAction::failed);
  EXPECT_EQ(a.errorCode, 1021);
  EXPECT_TRUE(a.release_worker);
  EXPECT_FALSE(q.converting());
  EXPECT_FALSE(s.checked(0));
  EXPECT_TRUE(s.checked(1));
  EXPECT_TRUE(s.checked(2));
}

TEST(ConversionQueue, EmptyBlockTotalGivesZeroProgressNotADivisionByZero) {
  CheckSelection s = Lines(1);
  s.set_checked(0, true);
  ConversionQueue q;
  ASSERT_EQ(q.prepare(s, [](int) { return 0; }), QueueStart::ready);
  q.begin();
  EXPECT_EQ(q.progress(true, 50), 0);
}
