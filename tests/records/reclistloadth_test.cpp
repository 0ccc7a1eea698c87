#include "records/reclistloadth.h"

#include <gtest/gtest.h>

#include <random>

#include "records/record_line.h"
#include "records/ring_builder.h"

using records::TRecord;
using testsupport::InfoRegion;
using testsupport::RecordingSpec;
using testsupport::Scan;
using testsupport::WriteRecording;

namespace {

struct Span {
  int32_t first, last;
  bool operator==(const Span&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Span& s) {
  return os << "[" << s.first << ".." << s.last << "]";
}

std::vector<Span> Spans(const std::vector<TRecord>& records) {
  std::vector<Span> out;
  for (const TRecord& r : records) out.push_back({r.bss_index, r.ess_index});
  return out;
}

RecordingSpec Rec(uint32_t first, uint32_t blocks, uint64_t identity = 1000) {
  RecordingSpec s;
  s.first = first;
  s.blocks = blocks;
  s.startrec_cycles = identity;
  return s;
}

}  // namespace

TEST(RecordScan, ListsRecordingsAcrossGapsInRingOrder) {
  InfoRegion region(200);
  WriteRecording(region, Rec(1, 10, 1));
  WriteRecording(region, Rec(40, 20, 2));  // after a gap longer than the probe cap
  WriteRecording(region, Rec(61, 100, 3));  // after a one-block gap
  const auto r = Scan(region, 0, 199);
  EXPECT_FALSE(r.failed);
  EXPECT_EQ(r.position, r.total);
  EXPECT_EQ(r.total, 199);
  EXPECT_EQ(Spans(r.records), (std::vector<Span>{{1, 10}, {40, 59}, {61, 160}}));
  EXPECT_EQ(r.records[1].bss.startrec_cycles(), 2u);
  EXPECT_EQ(r.records[2].ess.serv_label_number(), 500u + 99);
}

TEST(RecordScan, SplitsAdjacentRecordingsOnIdentityOrLabelBreak) {
  InfoRegion region(64);
  WriteRecording(region, Rec(1, 5, 1));
  WriteRecording(region, Rec(6, 5, 2));  // other startrec_cycles
  RecordingSpec other = Rec(11, 4, 2);
  other.imei_sn = 99;                    // other device, same counters
  WriteRecording(region, other);
  RecordingSpec gap = Rec(15, 4, 2);
  gap.imei_sn = 99;
  gap.label = 500 + 4 + 1;               // same identity, one label skipped
  WriteRecording(region, gap);
  const auto r = Scan(region, 0, 40);
  EXPECT_FALSE(r.failed);
  EXPECT_EQ(Spans(r.records), (std::vector<Span>{{1, 5}, {6, 10}, {11, 14}, {15, 18}}));
}

TEST(RecordScan, RecordingWrapsPastTheRegionEnd) {
  InfoRegion region(100);
  WriteRecording(region, Rec(95, 12, 1));  // blocks 95..99, 0..6
  WriteRecording(region, Rec(8, 2, 2));
  const auto r = Scan(region, 94, 20);
  ASSERT_FALSE(r.failed);
  EXPECT_EQ(Spans(r.records), (std::vector<Span>{{95, 6}, {8, 9}}));
  EXPECT_EQ(records::RecordBlocks(r.records[0]), 12);
  EXPECT_EQ(r.total, 26);
}

TEST(RecordScan, RecordingRunningUpToTheRingEndEndsThere) {
  InfoRegion region(100);
  WriteRecording(region, Rec(10, 60, 1));  // continues past the ring end block 50
  const auto r = Scan(region, 9, 50);
  ASSERT_FALSE(r.failed);
  EXPECT_EQ(Spans(r.records), (std::vector<Span>{{10, 50}}));
  EXPECT_EQ(r.position, r.total);
}

TEST(RecordScan, StartAtTheRingEndCountsOnlyDirectlyAfterARecording) {
  InfoRegion probed(100);
  WriteRecording(probed, Rec(1, 5, 1));
  WriteRecording(probed, Rec(30, 1, 2));  // found by the probing search at the ring end
  auto r = Scan(probed, 0, 30);
  EXPECT_FALSE(r.failed);
  EXPECT_EQ(Spans(r.records), (std::vector<Span>{{1, 5}}));

  InfoRegion adjacent(100);
  WriteRecording(adjacent, Rec(1, 29, 1));
  WriteRecording(adjacent, Rec(30, 1, 2));  // the candidate right after a recording
  r = Scan(adjacent, 0, 30);
  EXPECT_FALSE(r.failed);
  EXPECT_EQ(Spans(r.records), (std::vector<Span>{{1, 29}, {30, 30}}));
}

TEST(RecordScan, OneBlockRecordingsWithAndWithoutTheStartBit) {
  InfoRegion region(64);
  RecordingSpec a = Rec(1, 1, 1);
  a.ticks_per_block = 0;
  WriteRecording(region, a);
  // start_bit: cycles == startrec_cycles in that block, so 0 s
  RecordingSpec b = Rec(2, 1, 2);
  b.start_bit = false;
  WriteRecording(region, b);
  const auto r = Scan(region, 0, 10);
  ASSERT_EQ(r.records.size(), 2u);
  EXPECT_EQ(records::RecordDuration(r.records[0]), 0);
  EXPECT_EQ(records::RecordDuration(r.records[1]), -1);
  EXPECT_EQ(records::RecordLine(r.records[1]),
            "[012345] 2014-03-05_14-07-09, длит. -- ч -- мин -- с");
}

TEST(RecordScan, ReadFailureKeepsEarlierRecordingsAndFails) {
  InfoRegion region(200);
  WriteRecording(region, Rec(1, 10, 1));
  WriteRecording(region, Rec(11, 100, 2));
  WriteRecording(region, Rec(111, 20, 3));
  region.fail_block(53);  // probe 7 of the second recording: 11 + 1+2+4+7+11+17
  const auto r = Scan(region, 0, 199);
  EXPECT_TRUE(r.failed);
  EXPECT_EQ(Spans(r.records), (std::vector<Span>{{1, 10}}));
  EXPECT_LT(r.position, r.total);
}

TEST(RecordScan, UnreadableRegionFailsAtTheFirstRead) {
  InfoRegion region(10);
  const auto r = testsupport::ScanWith(region, 12, 18, 20);  // ring larger than the region
  EXPECT_TRUE(r.failed);
  EXPECT_TRUE(r.records.empty());
  EXPECT_EQ(r.reads, 1u);
}

TEST(RecordScan, VersionAbove203FailsTheScan) {
  InfoRegion region(64);
  WriteRecording(region, Rec(1, 4, 1));
  RecordingSpec future = Rec(20, 20, 2);
  future.format_version = 204;
  WriteRecording(region, future);
  const auto r = Scan(region, 0, 40);
  EXPECT_TRUE(r.failed);
  EXPECT_EQ(Spans(r.records), (std::vector<Span>{{1, 4}}));
}

TEST(RecordScan, LastBlockMustCarryTheMagic) {
  // A block without the magic that still matches the identity and label (zeroed serial
  // fields) would pass as a continuation; it may not end a recording.
  InfoRegion region(64);
  RecordingSpec s = Rec(1, 6, 0);
  s.imei_sn = 0, s.poweron_uid0 = 0, s.label = 0xFFFFFFFA;  // block 7 would have label 0
  WriteRecording(region, s);
  const auto r = Scan(region, 0, 7);  // block 7 is an all-zero ring end
  EXPECT_TRUE(r.failed);
  EXPECT_TRUE(r.records.empty());
}

TEST(RecordScan, EmptyOrDamagedPointers) {
  InfoRegion region(64);
  WriteRecording(region, Rec(1, 4, 1));
  auto r = Scan(region, 5, 5);  // start and end in one block
  EXPECT_FALSE(r.failed);
  EXPECT_TRUE(r.records.empty());
  EXPECT_EQ(r.reads, 0u);
  EXPECT_EQ(r.position, r.total);
  r = testsupport::ScanWith(region, 0, 64, 64);  // end block outside the ring
  EXPECT_TRUE(r.failed);
  EXPECT_EQ(r.reads, 0u);
  r = testsupport::ScanWith(region, 0, 0, 0);
  EXPECT_TRUE(r.failed);
}

TEST(RecordScan, OnlyGapsFinishEmpty) {
  InfoRegion region(300);
  const auto r = Scan(region, 0, 299);
  EXPECT_FALSE(r.failed);
  EXPECT_TRUE(r.records.empty());
  EXPECT_LT(r.reads, 30u);  // probes of up to 16 blocks
}

TEST(RecordScan, LongRecordingCostsAFewDozenReads) {
  InfoRegion region(20000);
  WriteRecording(region, Rec(1, 15000, 1));
  WriteRecording(region, Rec(15001, 4998, 2));
  const auto r = Scan(region, 0, 19999);
  EXPECT_EQ(Spans(r.records), (std::vector<Span>{{1, 15000}, {15001, 19998}}));
  EXPECT_LT(r.reads, 160u);
}

TEST(RecordScan, WorksThroughAPartitionedMemoryRegion) {
  testsupport::MemoryRegion region(40 * 256, 9 * 256 + 128);  // files end mid-block
  WriteRecording(region, Rec(3, 20, 1));
  WriteRecording(region, Rec(25, 10, 2));
  const auto r = Scan(region, 0, 39);
  EXPECT_FALSE(r.failed);
  EXPECT_EQ(Spans(r.records), (std::vector<Span>{{3, 22}, {25, 34}}));
}

// Reference: every block read in turn. With gaps only before recordings of at least 16 blocks
// the probing search must find exactly the same recordings.
TEST(RecordScan, MatchesALinearWalkOnRandomRings) {
  std::mt19937 rng(20140305);
  for (int round = 0; round < 60; ++round) {
    const uint32_t n = 50 + rng() % 400;
    InfoRegion region(n);
    const uint32_t bgn = rng() % n;
    const uint32_t span = 1 + rng() % (n - 1);
    const uint32_t end = (bgn + span) % n;
    std::vector<Span> expected;
    uint32_t d = 1;  // distance from bgn of the next free block
    uint64_t identity = 1;
    while (d <= span) {
      const bool gap = rng() % 3 == 0;
      if (gap) d += 1 + rng() % 40;
      // The probing search does not list a start it meets exactly at the ring end.
      if (d > span || (gap && d == span)) break;
      const uint32_t len = std::min<uint32_t>(gap ? 16 + rng() % 60 : 1 + rng() % 60, n - d);
      RecordingSpec s = Rec((bgn + d) % n, len, identity++);
      s.imei_sn = rng() % 3 == 0 ? 0xFFFFFFFF : 12345;
      WriteRecording(region, s);
      const uint32_t lastD = std::min(span, d + len - 1);
      expected.push_back({int32_t((bgn + d) % n), int32_t((bgn + lastD) % n)});
      d += len;
    }
    const auto r = Scan(region, bgn, end);
    ASSERT_FALSE(r.failed) << "round " << round;
    ASSERT_EQ(Spans(r.records), expected) << "round " << round << " n " << n << " bgn " << bgn
                                          << " end " << end;
  }
}

TEST(RecordScanWorker, ProgressStaysBelowTheTotalUntilTheLastAppend) {
  InfoRegion region(300);
  WriteRecording(region, Rec(1, 40, 1));
  WriteRecording(region, Rec(41, 200, 2));
  WriteRecording(region, Rec(241, 59, 3));  // runs up to the ring end block 299
  records::RecListLoadTh* self = nullptr;
  std::vector<std::pair<int32_t, int32_t>> seen;
  records::RecListLoadTh worker(region, {300, 0, 299}, [&](const TRecord&) {
    seen.emplace_back(self->scanPosition.load(), self->scanTotal.load());
  });
  self = &worker;
  EXPECT_EQ(worker.scanTotal, 32767);  // before the worker sets it
  EXPECT_FALSE(worker.scan_over());
  worker.start();
  worker.wait_over();
  ASSERT_EQ(seen.size(), 3u);
  for (const auto& [position, total] : seen) {
    EXPECT_EQ(total, 299);
    EXPECT_LT(position, total);
  }
  EXPECT_EQ(worker.scanPosition, 299);
  EXPECT_TRUE(worker.scan_over());
  EXPECT_FALSE(worker.scanFailed);
}

TEST(RecordScanWorker, TerminationDuringTheScanEndsPromptlyAndKeepsAppends) {
  auto layout = [](InfoRegion& region) {
    WriteRecording(region, Rec(1, 30, 1));
    WriteRecording(region, Rec(31, 30, 2));
    WriteRecording(region, Rec(61, 30, 3));
  };
  // First pass: how many reads the first recording takes.
  InfoRegion probe(100);
  layout(probe);
  uint64_t readsAtFirstAppend = 0;
  {
    records::RecListLoadTh worker(probe, {100, 0, 99}, [&](const TRecord&) {
      if (!readsAtFirstAppend) readsAtFirstAppend = probe.reads();
    });
    worker.start();
    worker.wait_over();
  }
  ASSERT_GT(readsAtFirstAppend, 0u);

  InfoRegion region(100);
  layout(region);
  region.hold_read(readsAtFirstAppend + 1);
  records::RecordList list;
  auto worker = std::make_unique<records::RecListLoadTh>(
      region, records::ScanRing{100, 0, 99}, [&](const TRecord& r) { list.append(r); });
  worker->start();
  region.wait_until_held();
  worker->request_terminate();
  region.release();
  worker->wait_over();  // returns because the worker ended, not because the scan finished
  EXPECT_FALSE(worker->scan_over());
  worker.reset();  // joins
  EXPECT_EQ(region.reads(), readsAtFirstAppend + 1);  // no read after the request
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list.at(0)->ess_index, 30);
}

TEST(RecordScanWorker, FinishedWorkerWaitsForTheTerminationRequest) {
  InfoRegion region(20);
  WriteRecording(region, Rec(1, 5, 1));
  records::RecListLoadTh worker(region, {20, 0, 19}, [](const TRecord&) {});
  worker.start();
  worker.wait_over();
  EXPECT_TRUE(worker.scan_over());
  EXPECT_FALSE(worker.terminate_requested());
  // The destructor's request releases the waiting worker; a hang here is the failure.
}

TEST(RecordScanWorker, ThrowingSinkFailsTheScan) {
  InfoRegion region(20);
  WriteRecording(region, Rec(1, 5, 1));
  WriteRecording(region, Rec(6, 5, 2));
  int calls = 0;
  records::RecListLoadTh worker(region, {20, 0, 19}, [&](const TRecord&) {
    if (++calls == 2) throw std::runtime_error("sink full");
  });
  worker.start();
  worker.wait_over();
  EXPECT_TRUE(worker.scanFailed);
  EXPECT_EQ(calls, 2);
}
