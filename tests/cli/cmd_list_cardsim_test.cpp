// End to end: cards written by the recorder simulator list exactly the recordings it wrote.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cardsim/card_writer.h"
#include "cardsim/demo_scenario.h"
#include "cardsim/volume_image_sink.h"
#include "support/fat_image.h"
#include "records/record_line.h"
#include "support/temp_dir.h"

using testsupport::RunCommand;
using testsupport::TempDir;

namespace {

nlohmann::json ListJson(const std::string& medium, int expectedStatus = 0) {
  const auto r = RunCommand("(" + std::string(KORVAN_CLI_PATH) + " list " + medium +
                            " --json 2>/dev/null)");
  EXPECT_EQ(r.status, expectedStatus) << r.output;
  return nlohmann::json::parse(r.output, nullptr, false);
}

// Every listed recording against what the simulator reports it wrote.
void ExpectListed(const nlohmann::json& list, const cardsim::CardResult& card) {
  ASSERT_FALSE(list.is_discarded());
  EXPECT_FALSE(list["scanFailed"].get<bool>());
  const auto& recs = list["records"];
  ASSERT_EQ(recs.size(), card.recordings.size());
  for (size_t i = 0; i < recs.size(); ++i) {
    const cardsim::RecordingResult& w = card.recordings[i];
    SCOPED_TRACE("recording " + std::to_string(i));
    EXPECT_EQ(recs[i]["bss_index"].get<uint32_t>(), w.first_block);
    EXPECT_EQ(recs[i]["ess_index"].get<uint32_t>(), w.last_block);
    EXPECT_EQ(recs[i]["blocks"].get<uint32_t>(), w.blocks);
    EXPECT_EQ(recs[i]["stamp"], w.stamp);
    EXPECT_EQ(recs[i]["imei_sn"].get<uint32_t>(), w.imei_sn);
    EXPECT_EQ(recs[i]["poweron_uid0"].get<uint32_t>(), w.poweron_uid0);
    EXPECT_EQ(recs[i]["startrec_cycles"].get<uint64_t>(), w.startrec_cycles);
    records::TRecord expected{int32_t(w.first_block), w.bss, int32_t(w.last_block), w.ess};
    EXPECT_EQ(recs[i]["line"], records::RecordLine(expected));
    const int duration = recs[i]["duration"].get<int>();
    if (w.bss.recstate() & 1) {
      // Truncated to whole seconds of the recorded media.
      EXPECT_NEAR(double(duration), w.media_seconds, 1.0);
    }
  }
}

}  // namespace

TEST(CliListOnSimulatedCards, DemoCardWithWrapGapAndTwoDevices) {
  TempDir tmp;
  cardsim::Scenario s = cardsim::DemoScenario();
  s.info_only = true;
  const auto card = cardsim::WriteCardToFolder(s, tmp / "demo");
  ASSERT_TRUE(card.ok) << card.error;
  ExpectListed(ListJson(tmp / "demo"), card);
}

TEST(CliListOnSimulatedCards, ManyRecordingsWithGapsLostStartsAndCutEnds) {
  TempDir tmp;
  cardsim::Scenario s;
  s.seed = 77;
  s.width = 352, s.height = 288;
  s.info_only = true;
  s.partition_file_bytes = {8u << 20, 8u << 20, 3u << 20};  // 152 blocks
  s.ring_start_block = 100;
  s.devices = {cardsim::DeviceSpec{12345, 1, 0x0203, 10},
               cardsim::DeviceSpec{0x00ABCDEF, 2, 0x0203, 90000},
               cardsim::DeviceSpec{0xFFFFFFFF, 3, 0x0203, 5}};
  cardsim::RecordingSpec r;
  r.start = cardsim::CivilTime{2016, 2, 29, 23, 50, 0};
  const struct {
    int device, power_on;
    uint32_t blocks, gap, lost;
    bool finished;
  } plan[] = {{0, 0, 9, 0, 0, true},   {0, 0, 1, 0, 0, true},  {1, 0, 20, 30, 0, true},
              {1, 0, 3, 0, 2, false},  {2, 0, 17, 3, 0, true}, {0, 1, 1, 0, 1, true},
              {0, 1, 25, 0, 0, false}, {2, 1, 16, 11, 0, true}};
  for (const auto& p : plan) {
    r.device = p.device, r.power_on = p.power_on;
    r.blocks = p.blocks, r.gap_blocks = p.gap, r.lost_blocks = p.lost, r.finished = p.finished;
    s.recordings.push_back(r);
    r.start.reset();
  }
  const auto card = cardsim::WriteCardToFolder(s, tmp / "card");
  ASSERT_TRUE(card.ok) << card.error;
  const auto list = ListJson(tmp / "card");
  ExpectListed(list, card);
  EXPECT_LT(list["reads"].get<int>(), 152);  // fewer probes than blocks
}

TEST(CliListOnSimulatedCards, DamagedBlockStopsTheScanAfterEarlierRecordings) {
  TempDir tmp;
  cardsim::Scenario s = cardsim::DemoScenario();
  s.info_only = true;
  s.damage.push_back({cardsim::DamageKind::format_version, 2, 0});  // first block of rec 2
  const auto card = cardsim::WriteCardToFolder(s, tmp / "demo");
  ASSERT_TRUE(card.ok) << card.error;
  const auto list = ListJson(tmp / "demo", 1);
  ASSERT_FALSE(list.is_discarded());
  EXPECT_TRUE(list["scanFailed"].get<bool>());
  ASSERT_EQ(list["records"].size(), 2u);
  EXPECT_EQ(list["records"][1]["ess_index"].get<uint32_t>(), card.recordings[1].last_block);
}

TEST(CliListOnSimulatedCards, VolumeImageReadThroughTheFatReader) {
  if (!testsupport::HaveFatTools()) GTEST_SKIP() << "mkfs.fat/mtools missing";
  TempDir tmp;
  const std::string image = tmp / "card.img";
  ASSERT_TRUE(testsupport::MakeMarkedVolume(image, tmp.path().string(), 64 * 1024,
                                            {2u << 20, 2u << 20, 2u << 20}));  // 48 blocks
  cardsim::Scenario s;
  s.seed = 5;
  s.width = 352, s.height = 288;
  s.info_only = true;
  s.ring_start_block = 30;  // wraps past block 47
  cardsim::RecordingSpec r;
  r.start = cardsim::CivilTime{2020, 1, 2, 3, 4, 5};
  for (uint32_t blocks : {6u, 12u, 2u, 5u}) {
    r.blocks = blocks;
    r.gap_blocks = blocks == 2 ? 1 : 0;
    s.recordings.push_back(r);
    r.start.reset();
  }
  const auto card = cardsim::WriteCardToVolumeImage(s, image);
  ASSERT_TRUE(card.ok) << card.error;
  ExpectListed(ListJson(image), card);
}

TEST(CliListOnSimulatedCards, ThoroughListsTheSameOnTheDemoCard) {
  TempDir tmp;
  cardsim::Scenario s = cardsim::DemoScenario();
  s.info_only = true;
  const auto card = cardsim::WriteCardToFolder(s, tmp / "demo");
  ASSERT_TRUE(card.ok) << card.error;
  ExpectListed(ListJson(std::string(tmp / "demo") + " --thorough"), card);
}

TEST(CliListOnSimulatedCards, ThoroughFindsTheShortRecordingBetweenGaps) {
  TempDir tmp;
  cardsim::Scenario s;
  s.info_only = true;
  s.partition_file_bytes = {32u << 20};
  s.recordings = {{.blocks = 40}, {.blocks = 2, .gap_blocks = 4}, {.blocks = 40, .gap_blocks = 14}};
  const auto card = cardsim::WriteCardToFolder(s, tmp / "gaps");
  ASSERT_TRUE(card.ok) << card.error;
  const nlohmann::json probing = ListJson(tmp / "gaps");
  ASSERT_FALSE(probing.is_discarded());
  EXPECT_EQ(probing["records"].size(), 2u);  // the probing search jumps over the short one
  ExpectListed(ListJson(std::string(tmp / "gaps") + " --thorough"), card);
}
