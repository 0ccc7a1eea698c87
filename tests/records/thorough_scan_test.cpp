// The thorough record scan (every information sector read in order) against the probing scan,
// and the walk round a full ring that has wrapped.
#include <gtest/gtest.h>

#include "records/reclistloadth.h"
#include "records/ring_builder.h"
#include "records/scan_ring.h"

using records::ScanMode;
using records::ScanRing;
using testsupport::InfoRegion;
using testsupport::RecordingSpec;
using testsupport::ScanRingIn;
using testsupport::WriteRecording;

namespace {

struct Span {
  int32_t first, last;
  bool operator==(const Span&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Span& s) {
  return os << "[" << s.first << ".." << s.last << "]";
}

std::vector<Span> Spans(const std::vector<records::TRecord>& records) {
  std::vector<Span> out;
  for (const records::TRecord& r : records) out.push_back({r.bss_index, r.ess_index});
  return out;
}

RecordingSpec Rec(uint32_t first, uint32_t blocks, uint64_t identity) {
  RecordingSpec s;
  s.first = first;
  s.blocks = blocks;
  s.startrec_cycles = identity;
  return s;
}

card::ServiceSector Pointers(uint32_t rsr, uint32_t bgn, uint32_t end) {
  card::ServiceSector s;
  s.set_rsr_sectnum(rsr);
  s.set_rec_bgn_sectnum(bgn);
  s.set_rec_end_sectnum(end);
  return s;
}

}  // namespace

TEST(ThoroughScan, FindsAShortRecordingBetweenGapsThatProbingJumpsOver) {
  InfoRegion region(200);
  WriteRecording(region, Rec(1, 40, 1));
  WriteRecording(region, Rec(45, 2, 2));  // two blocks between gaps of 4 and 14 blocks
  WriteRecording(region, Rec(61, 40, 3));
  const ScanRing ring{200, 0, 150};

  const auto probing = ScanRingIn(region, ring, ScanMode::probing);
  ASSERT_FALSE(probing.failed);
  EXPECT_EQ(Spans(probing.records), (std::vector<Span>{{1, 40}, {61, 100}}));

  const auto thorough = ScanRingIn(region, ring, ScanMode::thorough);
  EXPECT_FALSE(thorough.failed);
  EXPECT_EQ(thorough.position, thorough.total);
  EXPECT_EQ(Spans(thorough.records), (std::vector<Span>{{1, 40}, {45, 46}, {61, 100}}));
  EXPECT_EQ(thorough.records[1].bss.startrec_cycles(), 2u);
  EXPECT_EQ(thorough.records[1].ess.serv_label_number(), 501u);
  EXPECT_EQ(thorough.reads, 150u);  // one information sector per block, none twice
}

// Layouts of intact cards, each scanned both ways: the lists must be equal.
TEST(ThoroughScan, ListsWhatProbingListsOnIntactCards) {
  struct Layout {
    const char* what;
    std::vector<RecordingSpec> recordings;
    ScanRing ring;
  };
  RecordingSpec labelBreak = Rec(9, 4, 1);
  labelBreak.label = 500 + 8 + 1;  // continues Rec(1, 8, 1) but skips one label
  const std::vector<Layout> layouts = {
      {"adjacent", {Rec(1, 3, 1), Rec(4, 3, 2), Rec(7, 3, 3), Rec(10, 3, 4)}, {100, 0, 12}},
      {"wrap", {Rec(45, 10, 1), Rec(5, 5, 2)}, {50, 40, 12}},
      {"label break", {Rec(1, 8, 1), labelBreak}, {64, 0, 30}},
      {"runs up to the ring end", {Rec(1, 20, 1)}, {64, 0, 20}},
      {"start at the end after a gap", {Rec(1, 5, 1), Rec(7, 3, 2)}, {64, 0, 7}},
      {"start at the end after a recording", {Rec(1, 5, 1), Rec(6, 3, 2)}, {64, 0, 6}},
      {"long gaps", {Rec(3, 30, 1), Rec(90, 17, 2)}, {200, 0, 180}},
  };
  for (const Layout& l : layouts) {
    SCOPED_TRACE(l.what);
    InfoRegion region(l.ring.N_s_s);
    for (const RecordingSpec& r : l.recordings) WriteRecording(region, r);
    const auto probing = ScanRingIn(region, l.ring, ScanMode::probing);
    const auto thorough = ScanRingIn(region, l.ring, ScanMode::thorough);
    EXPECT_FALSE(probing.failed);
    EXPECT_FALSE(thorough.failed);
    EXPECT_EQ(Spans(thorough.records), Spans(probing.records));
    for (size_t i = 0; i < thorough.records.size() && i < probing.records.size(); ++i) {
      EXPECT_EQ(thorough.records[i].bss.bytes(), probing.records[i].bss.bytes());
      EXPECT_EQ(thorough.records[i].ess.bytes(), probing.records[i].ess.bytes());
    }
  }
}

TEST(ThoroughScan, AnUnreadableBlockKeepsWhatWasReadAndFails) {
  InfoRegion region(100);
  WriteRecording(region, Rec(1, 5, 1));
  WriteRecording(region, Rec(6, 10, 2));
  region.fail_block(9);
  const auto r = ScanRingIn(region, {100, 0, 50}, ScanMode::thorough);
  EXPECT_TRUE(r.failed);
  // The second recording was read block by block up to the failure: its sound part stays.
  EXPECT_EQ(Spans(r.records), (std::vector<Span>{{1, 5}, {6, 8}}));
}

TEST(FullRing, EndJustBehindBeginInOneBlockIsFullOnlyEqualPointersAreEmpty) {
  const uint32_t rsr = 8192, b = rsr + 50 * 256;
  EXPECT_TRUE(records::RingIsFull(Pointers(rsr, b + 10, b + 3)));
  EXPECT_TRUE(records::RingIsFull(Pointers(rsr, b + 1, b)));
  EXPECT_FALSE(records::RingIsFull(Pointers(rsr, b + 3, b + 3)));    // empty
  EXPECT_FALSE(records::RingIsFull(Pointers(rsr, b + 3, b + 10)));   // less than a block
  EXPECT_FALSE(records::RingIsFull(Pointers(rsr, b + 300, b + 3)));  // other blocks
  EXPECT_FALSE(records::RingIsFull(Pointers(rsr, 0xFFFFFFFF, 0xFFFFFFFF)));
}

TEST(FullRing, BothScansWalkTheWholeRingFromTheBeginPointer) {
  InfoRegion region(100);
  WriteRecording(region, Rec(51, 59, 1));  // blocks 51..99 and 0..9
  WriteRecording(region, Rec(10, 40, 2));  // blocks 10..49; block 50 holds both pointers
  for (ScanMode mode : {ScanMode::probing, ScanMode::thorough}) {
    SCOPED_TRACE(mode == ScanMode::probing ? "probing" : "thorough");
    const auto full = ScanRingIn(region, {100, 50, 50, true}, mode);
    EXPECT_FALSE(full.failed);
    EXPECT_EQ(full.total, 100);
    EXPECT_EQ(full.position, full.total);
    EXPECT_EQ(Spans(full.records), (std::vector<Span>{{51, 9}, {10, 49}}));
    // The same blocks read as an empty ring list nothing.
    const auto empty = ScanRingIn(region, {100, 50, 50, false}, mode);
    EXPECT_TRUE(empty.records.empty());
    EXPECT_EQ(empty.reads, 0u);
  }
}
