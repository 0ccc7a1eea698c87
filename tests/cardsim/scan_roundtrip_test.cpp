// The record scan finds on a simulated card exactly the recordings the simulator reports, and
// each kind of damage the simulator can apply shows up in the scan the way it should.
#include <gtest/gtest.h>

#include "card/card_file_system.h"
#include "card/partition_file_reader.h"
#include "cardsim/card_writer.h"
#include "cardsim/image_folder_sink.h"
#include "records/reclistloadth.h"
#include "support/card_image_reader.h"
#include "support/temp_dir.h"

namespace {

using namespace cardsim;
using testsupport::TempDir;

struct Scan {
  std::vector<records::TRecord> found;
  bool failed = false;
};

Scan ScanCard(const std::string& dir, const CardResult& card) {
  auto fs = std::make_shared<card::FolderFileSystem>(dir);
  std::vector<std::string> names;
  for (uint32_t k = 0; k < card.geometry.N_rsf; ++k) names.push_back(PartitionFileName(int(k)));
  card::PartitionFileReader region(fs, names, card.geometry);
  const testsupport::CardImage image(dir);
  const card::ServiceSector service = image.ServiceSector();
  records::ScanRing ring;
  ring.N_s_s = service.N_sectors_in_rsr() >> 8;
  ring.s_s_bgn = (service.rec_bgn_sectnum() - service.rsr_sectnum()) >> 8;
  ring.s_s_end = (service.rec_end_sectnum() - service.rsr_sectnum()) >> 8;
  Scan scan;
  records::RecListLoadTh worker(region, ring, [&](const records::TRecord& r) { scan.found.push_back(r); });
  worker.start();
  worker.wait_over();
  scan.failed = worker.scanFailed;
  worker.request_terminate();
  return scan;
}

Scenario ThreeRecordings() {
  Scenario s;
  s.seed = 3;
  s.width = 352;
  s.height = 288;
  s.info_only = true;  // the scan reads information sectors only
  s.partition_file_bytes = {2u << 20, 2u << 20, 1u << 20};  // 40 blocks
  s.ring_start_block = 30;
  s.devices = {DeviceSpec{1, 1, 1, 0xFFFFFFF0}, DeviceSpec{2, 2, 2, 10}};  // labels wrap
  RecordingSpec r;
  r.blocks = 9;
  s.recordings.push_back(r);
  r.blocks = 6;
  r.device = 1;
  s.recordings.push_back(r);  // adjacent, other device
  r.device = 0;
  r.gap_blocks = 3;
  r.blocks = 5;
  s.recordings.push_back(r);
  return s;
}

// (first, last) block pairs of what the scan found.
std::vector<std::pair<int, int>> Spans(const Scan& scan) {
  std::vector<std::pair<int, int>> out;
  for (const auto& r : scan.found) out.emplace_back(r.bss_index, r.ess_index);
  return out;
}

TEST(CardsimScan, FindsExactlyTheWrittenRecordings) {
  TempDir dir;
  const CardResult card = WriteCardToFolder(ThreeRecordings(), dir.path().string());
  ASSERT_TRUE(card.ok) << card.error;
  const Scan scan = ScanCard(dir.path().string(), card);
  EXPECT_FALSE(scan.failed);
  ASSERT_EQ(scan.found.size(), card.recordings.size());
  for (size_t i = 0; i < scan.found.size(); ++i) {
    EXPECT_EQ(uint32_t(scan.found[i].bss_index), card.recordings[i].first_block);
    EXPECT_EQ(uint32_t(scan.found[i].ess_index), card.recordings[i].last_block);
    EXPECT_EQ(scan.found[i].bss.bytes(), card.recordings[i].bss.bytes());
    EXPECT_EQ(scan.found[i].ess.bytes(), card.recordings[i].ess.bytes());
  }
  EXPECT_EQ(Spans(scan), (std::vector<std::pair<int, int>>{{31, 39}, {0, 5}, {9, 13}}));
}

TEST(CardsimScan, LabelBreakAndIdentityChangeSplitARecording) {
  TempDir dir;
  Scenario s = ThreeRecordings();
  s.damage = {Damage{DamageKind::label_break, 0, 4}, Damage{DamageKind::identity_change, 2, 2}};
  const CardResult card = WriteCardToFolder(s, dir.path().string());
  ASSERT_TRUE(card.ok) << card.error;
  const Scan scan = ScanCard(dir.path().string(), card);
  EXPECT_FALSE(scan.failed);
  EXPECT_EQ(Spans(scan),
            (std::vector<std::pair<int, int>>{{31, 34}, {35, 39}, {0, 5}, {9, 10}, {11, 13}}));
  // The split-off tail has no b bit: its first block is a continuation.
  EXPECT_EQ(scan.found[1].bss.recstate(), 2);
}

TEST(CardsimScan, ZeroedInformationSectorLeavesAGap) {
  TempDir dir;
  Scenario s = ThreeRecordings();
  s.damage = {Damage{DamageKind::zero_info, 1, 1}};  // block 1, the end search's first probe
  const CardResult card = WriteCardToFolder(s, dir.path().string());
  ASSERT_TRUE(card.ok) << card.error;
  EXPECT_FALSE(testsupport::CardImage(dir.path().string()).InfoSector(1).has_magic());
  EXPECT_EQ(Spans(ScanCard(dir.path().string(), card)),
            (std::vector<std::pair<int, int>>{{31, 39}, {0, 0}, {2, 5}, {9, 13}}));
}

TEST(CardsimScan, NewerFormatVersionStopsTheScan) {
  TempDir dir;
  Scenario s = ThreeRecordings();
  s.damage = {Damage{DamageKind::format_version, 2, 0}};  // block 9
  const CardResult card = WriteCardToFolder(s, dir.path().string());
  ASSERT_TRUE(card.ok) << card.error;
  const Scan scan = ScanCard(dir.path().string(), card);
  EXPECT_TRUE(scan.failed);
  EXPECT_EQ(Spans(scan), (std::vector<std::pair<int, int>>{{31, 39}, {0, 5}}));
  EXPECT_EQ(testsupport::CardImage(dir.path().string()).InfoSector(9).format_version(), 204u);
}

TEST(CardsimScan, MissingOrTruncatedPartitionFileFailsTheScanThere) {
  for (DamageKind kind : {DamageKind::missing_file, DamageKind::truncate_file}) {
    TempDir dir;
    Scenario s = ThreeRecordings();
    Damage d;
    d.kind = kind;
    d.file = 2;        // blocks 32..39
    d.bytes = 65536;   // truncated: block 32's information sector is gone
    s.damage = {d};
    const CardResult card = WriteCardToFolder(s, dir.path().string());
    ASSERT_TRUE(card.ok) << card.error;
    EXPECT_EQ(std::filesystem::exists(dir / "hcpt0002.hcf"), kind == DamageKind::truncate_file);
    const Scan scan = ScanCard(dir.path().string(), card);
    EXPECT_TRUE(scan.failed);
    EXPECT_TRUE(scan.found.empty());
  }
}

TEST(CardsimScan, UnsetAndEmptyPointers) {
  TempDir dir;
  Scenario s = ThreeRecordings();
  s.pointers = RingPointers::unset;
  ASSERT_TRUE(WriteCardToFolder(s, dir / "unset").ok);
  const card::ServiceSector unset = testsupport::CardImage(dir / "unset").ServiceSector();
  EXPECT_EQ(unset.rec_bgn_sectnum(), 0xFFFFFFFFu);
  EXPECT_EQ(unset.rec_end_sectnum(), 0xFFFFFFFFu);
  s.pointers = RingPointers::empty;
  ASSERT_TRUE(WriteCardToFolder(s, dir / "empty").ok);
  const card::ServiceSector empty = testsupport::CardImage(dir / "empty").ServiceSector();
  EXPECT_EQ(empty.rec_bgn_sectnum(), empty.rec_end_sectnum());
  EXPECT_EQ(empty.rec_bgn_sectnum(), s.rsr_sectnum + 30 * 256);
}

}  // namespace
