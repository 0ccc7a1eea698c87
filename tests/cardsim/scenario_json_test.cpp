// Scenario documents and the korvan-cardsim command line: what is accepted, what is refused
// with a clear message, and the report a run prints.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "cardsim/civil_time.h"
#include "cardsim/scenario_json.h"
#include "support/temp_dir.h"

namespace {

using namespace cardsim;
using testsupport::RunCommand;
using testsupport::TempDir;

TEST(CardsimScenarioJson, ReadsEveryKindOfField) {
  Scenario s;
  std::string error;
  ASSERT_TRUE(ParseScenarioJson(R"({
      "seed": 9, "partition_files": 3, "file_mib": 4, "last_file_mib": 2,
      "ring_start_block": 7, "pointers": "empty", "width": 352, "height": 288,
      "gps": {"latitude": -33.9, "fix": false},
      "devices": [{"imei_sn": 1048576, "first_label": 4294967290}],
      "recordings": [{"start": "2014-12-25T07:05:30", "duration_s": 2.5, "finished": false},
                     {"blocks": 4, "gap_blocks": 2, "lost_blocks": 1}],
      "damage": [{"kind": "truncate_file", "file": 2, "bytes": 131072},
                 {"kind": "label_break", "recording": 1, "block": 2}]})",
                                s, error))
      << error;
  EXPECT_EQ(s.seed, 9u);
  EXPECT_EQ(s.partition_file_bytes, (std::vector<uint64_t>{4u << 20, 4u << 20, 2u << 20}));
  EXPECT_EQ(s.pointers, RingPointers::empty);
  EXPECT_FALSE(s.gps.fix);
  EXPECT_EQ(s.devices.at(0).first_label, 4294967290u);
  ASSERT_EQ(s.recordings.size(), 2u);
  EXPECT_EQ(*s.recordings[0].start, (CivilTime{2014, 12, 25, 7, 5, 30}));
  EXPECT_FALSE(s.recordings[0].finished);
  EXPECT_EQ(s.recordings[1].lost_blocks, 1u);
  EXPECT_EQ(s.damage.at(0).kind, DamageKind::truncate_file);
  EXPECT_EQ(ValidateScenario(s), "");
}

TEST(CardsimScenarioJson, RefusesTyposBadValuesAndImpossibleCards) {
  const std::pair<const char*, const char*> cases[] = {
      {R"({"sede": 1})", "unknown key \"sede\""},
      {R"({"recordings": [{"duraton_s": 1}]})", "unknown key \"duraton_s\""},
      {R"({"pointers": "sometimes"})", "pointers must be"},
      {R"({"recordings": [{"start": "2014-02-30 10:00:00"}]})", "start must look like"},
      {R"({"damage": [{"kind": "fire"}]})", "unknown damage kind"},
      {R"([1, 2])", "must be an object"},
      {R"({"seed": )", "bad scenario"},
  };
  for (const auto& [text, message] : cases) {
    Scenario s;
    std::string error;
    EXPECT_FALSE(ParseScenarioJson(text, s, error)) << text;
    EXPECT_NE(error.find(message), std::string::npos) << text << " -> " << error;
  }
  Scenario s;
  s.partition_file_bytes = {1000000};
  EXPECT_NE(ValidateScenario(s).find("multiples of 131072"), std::string::npos);
  s = Scenario{};
  s.recordings.push_back(RecordingSpec{});
  EXPECT_NE(ValidateScenario(s).find("needs duration_s or blocks"), std::string::npos);
  s.recordings[0].duration_s = 1;
  s.recordings[0].device = 3;
  EXPECT_NE(ValidateScenario(s).find("unknown device"), std::string::npos);
  s = Scenario{};
  s.sample_rate = 16000;
  EXPECT_NE(ValidateScenario(s).find("sample rate"), std::string::npos);
}

TEST(CardsimCli, DemoWritesTheCardAndItsReport) {
  TempDir dir;
  const auto run = RunCommand(std::string(KORVAN_CARDSIM_PATH) + " demo " + dir / "card" +
                              " --json " + dir / "report.json");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("2014-03-05_14-07-09"), std::string::npos) << run.output;
  std::ifstream in(dir / "report.json");
  const auto report = nlohmann::json::parse(in);
  EXPECT_TRUE(report.at("ok").get<bool>());
  EXPECT_EQ(report.at("N_rsf"), 4);
  ASSERT_EQ(report.at("recordings").size(), 4u);
  std::set<uint32_t> devices;
  for (const auto& r : report.at("recordings")) devices.insert(r.at("imei_sn").get<uint32_t>());
  EXPECT_EQ(devices.size(), 2u);
  // The ring wraps: some recording ends at a lower block than it starts.
  bool wraps = false;
  for (const auto& r : report.at("recordings"))
    wraps |= r.at("last_block").get<int>() < r.at("first_block").get<int>();
  EXPECT_TRUE(wraps);
  for (const char* f : {"hc00info.hcf", "hc01info.hcf", "hcpt0000.hcf", "hcpt0003.hcf"})
    EXPECT_TRUE(std::filesystem::exists(dir / ("card/" + std::string(f)))) << f;
}

TEST(CardsimCli, WriteFromScenarioFileWithOverridesAndFailures) {
  TempDir dir;
  std::ofstream(dir / "s.json") << R"({"width": 352, "height": 288, "file_mib": 1,
      "partition_files": 2, "recordings": [{"duration_s": 2}]})";
  const std::string sim = KORVAN_CARDSIM_PATH;
  auto run = RunCommand(sim + " write " + dir / "card" +
                        " --files 3 --file-mib 1 --size 352x288 --duration 1");
  ASSERT_EQ(run.status, 0) << run.output;
  ASSERT_TRUE(std::filesystem::exists(dir / "card/hcpt0002.hcf"));
  run = RunCommand(sim + " write " + dir / "card" + " --scenario " + dir / "s.json" +
                        " --seed 4 --json -");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("\"video_frames\": 50"), std::string::npos) << run.output;
  // The folder is rewritten for a smaller card: no stale partition file survives.
  EXPECT_FALSE(std::filesystem::exists(dir / "card/hcpt0002.hcf"));

  run = RunCommand(sim + " write " + dir / "card2" + " --scenario " + dir / "missing.json");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("cannot read"), std::string::npos);
  std::ofstream(dir / "bad.json") << R"({"recordings": [{"duration_s": 99999}],
      "partition_files": 1, "file_mib": 1})";
  run = RunCommand(sim + " write " + dir / "card3" + " --scenario " + dir / "bad.json");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("does not fit"), std::string::npos) << run.output;
  EXPECT_EQ(RunCommand(sim + " write " + dir / "x" + " --bogus").status, 2);
  EXPECT_EQ(RunCommand(sim).status, 2);
}

}  // namespace

namespace {

TEST(CardsimScenarioJson, ShippedExampleScenariosAreValid) {
  int seen = 0;
  for (const auto& entry : std::filesystem::directory_iterator(
           std::string(KORVAN_SOURCE_DIR) + "/tools/cardsim/scenarios")) {
    std::ifstream in(entry.path());
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    cardsim::Scenario s;
    std::string error;
    EXPECT_TRUE(cardsim::ParseScenarioJson(text, s, error)) << entry.path() << ": " << error;
    EXPECT_EQ(cardsim::ValidateScenario(s), "") << entry.path();
    ++seen;
  }
  EXPECT_GE(seen, 3);
}

}  // namespace
