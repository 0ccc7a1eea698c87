// korvan-cli settings, clear, erase and recover on marked FAT32 volume images written by the
// recorder simulator: what each writes (read back with `info --json`), what the record scan
// finds afterwards, that fsck.fat finds nothing wrong, and that refusals write nothing.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cardsim/card_writer.h"
#include "cardsim/volume_image_sink.h"
#include "cardsim/volume_maker.h"
#include "support/fat_image.h"
#include "support/image_folder.h"
#include "support/temp_dir.h"

using nlohmann::json;
using testsupport::RunCommand;
using testsupport::TempDir;

namespace {

bool HaveTools() {
  return testsupport::HaveFatTools() && testsupport::HaveProgram("fsck.fat");
}

testsupport::CommandResult Cli(const std::string& args) {
  return RunCommand(std::string(KORVAN_CLI_PATH) + " " + args + " </dev/null");
}

json JsonOf(const std::string& args) {
  const auto r = RunCommand(std::string(KORVAN_CLI_PATH) + " " + args + " 2>/dev/null");
  EXPECT_EQ(r.status, 0) << args << "\n" << r.output;
  return json::parse(r.output, nullptr, false);
}

json ServiceSector(const std::string& image) { return JsonOf("info " + image + " --json")["serviceSector"]; }

size_t Listed(const std::string& image) { return JsonOf("list " + image + " --json")["records"].size(); }

void ExpectFsckClean(const std::string& image) {
  const auto r = RunCommand("fsck.fat -n " + image + " 2>&1");
  EXPECT_EQ(r.status, 0) << r.output;
}

// A 64 MiB marked volume (four 8 MiB partition files, 256 blocks) holding three recordings.
cardsim::CardResult MakeRecordedCard(const std::string& image) {
  std::string error;
  cardsim::VolumeLayout layout;
  if (!cardsim::MakeMarkedVolume(image, layout, error)) return cardsim::CardResult{false, error};
  cardsim::Scenario s;
  s.info_only = true;
  s.ring_start_block = 40;
  for (uint32_t blocks : {6u, 9u, 4u}) {
    cardsim::RecordingSpec r;
    r.blocks = blocks;
    r.gap_blocks = 2;
    s.recordings.push_back(r);
  }
  return cardsim::WriteCardToVolumeImage(s, image);
}

bool SameFile(const std::string& a, const std::string& b) {
  return RunCommand("cmp -s " + a + " " + b).status == 0;
}

}  // namespace

TEST(CliCardPrep, ClearRecoverEraseRecoverBringBackTheRecordings) {
  if (!HaveTools()) GTEST_SKIP() << "dosfstools/mtools missing";
  TempDir dir;
  const std::string image = dir / "card.img";
  const cardsim::CardResult card = MakeRecordedCard(image);
  ASSERT_TRUE(card.ok) << card.error;
  ASSERT_EQ(Listed(image), 3u);
  const json info = JsonOf("info " + image + " --json");
  const uint32_t rsr = info["partitionStart"].get<uint32_t>() + info["hcpt0000Sector"].get<uint32_t>();
  const uint32_t region = info["dirRegionSectors"];
  const uint32_t end = info["serviceSector"]["rec_end_sectnum"];

  ASSERT_EQ(Cli("clear " + image + " --yes").status, 0);
  json ss = ServiceSector(image);
  EXPECT_EQ(ss["rec_bgn_sectnum"], end);
  EXPECT_EQ(ss["rec_end_sectnum"], end);
  EXPECT_EQ(Listed(image), 0u);
  ExpectFsckClean(image);

  ASSERT_EQ(Cli("recover " + image + " --yes").status, 0);
  ss = ServiceSector(image);
  EXPECT_EQ(ss["rec_bgn_sectnum"], end);
  EXPECT_EQ(ss["rec_end_sectnum"], end - 256);
  EXPECT_EQ(Listed(image), 3u);
  ExpectFsckClean(image);

  // With recordings on the card a recovery is refused and writes nothing.
  RunCommand("cp --sparse=always " + image + " " + dir / "before.img");
  const auto refused = Cli("recover " + image + " --yes");
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.output.find("holds recordings"), std::string::npos) << refused.output;
  EXPECT_TRUE(SameFile(image, dir / "before.img"));

  ASSERT_EQ(Cli("erase " + image + " --yes").status, 0);
  ss = ServiceSector(image);
  EXPECT_EQ(ss["rec_bgn_sectnum"], 0xFFFFFFFFu);
  EXPECT_EQ(ss["rec_end_sectnum"], 0xFFFFFFFFu);
  EXPECT_EQ(Listed(image), 0u);

  // After an erase the region comes from the directory walk.
  ASSERT_EQ(Cli("recover " + image + " --yes").status, 0);
  ss = ServiceSector(image);
  EXPECT_EQ(ss["rsr_sectnum"], rsr);
  EXPECT_EQ(ss["N_sectors_in_rsr"], region);
  EXPECT_EQ(ss["rec_bgn_sectnum"], rsr);
  EXPECT_EQ(ss["rec_end_sectnum"], rsr + region - 256);
  EXPECT_EQ(Listed(image), 3u);
  ExpectFsckClean(image);
}

TEST(CliCardPrep, SettingsRoundTripEveryFieldThroughInfo) {
  if (!HaveTools()) GTEST_SKIP() << "dosfstools/mtools missing";
  TempDir dir;
  const std::string image = dir / "card.img";
  ASSERT_TRUE(MakeRecordedCard(image).ok);
  const json before = ServiceSector(image);

  json shown = JsonOf("settings " + image +
                      " --set quality=low vox=9 ring=off overlay=off input=mic-agc"
                      " timer1=weekly,2015-12-31,23:59,01:30 timer2=daily,2016-02-29,00:05,12:00"
                      " timer3=once,2099-12-31,07:08,23:59 --yes --json");
  EXPECT_EQ(shown["quality"], "low");
  EXPECT_EQ(shown["timers"][1],
            json({{"mode", "daily"}, {"date", "2016-02-29"}, {"start", "00:05"},
                  {"duration", "12:00"}, {"valid", true}}));
  json ss = ServiceSector(image);
  EXPECT_EQ(ss["av_quality_level"], 2);
  EXPECT_EQ(ss["audio_vox_level"], 9);
  EXPECT_EQ(ss["rec_mode_flags"].get<uint32_t>() & 1, 0u);
  EXPECT_EQ(ss["osd_flags"].get<uint32_t>() & 1, 0u);
  EXPECT_EQ(ss["audio_input_conf"], 1);
  EXPECT_EQ(ss["timers"][0], json({{"mode", 3}, {"minute", 59}, {"hour", 23}, {"day", 31},
                                   {"month", 12}, {"year", 15}, {"durMinutes", 30},
                                   {"durHours", 1}}));
  EXPECT_EQ(ss["timers"][1]["mode"], 2);
  EXPECT_EQ(ss["timers"][2], json({{"mode", 1}, {"minute", 8}, {"hour", 7}, {"day", 31},
                                   {"month", 12}, {"year", 99}, {"durMinutes", 59},
                                   {"durHours", 23}}));
  EXPECT_EQ(ss["timers"][3], before["timers"][3]);
  // Every field the settings do not own is as it was.
  for (const auto& [key, value] : before.items())
    if (key != "av_quality_level" && key != "audio_vox_level" && key != "rec_mode_flags" &&
        key != "osd_flags" && key != "audio_input_conf" && key != "timers") {
      EXPECT_EQ(ss[key], value) << key;
    }
  ExpectFsckClean(image);

  // The other value of every field; a timer switched off keeps its values.
  ASSERT_EQ(Cli("settings " + image +
                " --set quality=medium vox=0 ring=on overlay=on input=line"
                " timer1=off,2015-12-31,23:59,01:30 --yes").status, 0);
  ss = ServiceSector(image);
  EXPECT_EQ(ss["av_quality_level"], 1);
  EXPECT_EQ(ss["audio_vox_level"], 0);
  EXPECT_EQ(ss["rec_mode_flags"].get<uint32_t>() & 1, 1u);
  EXPECT_EQ(ss["osd_flags"].get<uint32_t>() & 1, 1u);
  EXPECT_EQ(ss["audio_input_conf"], 2);
  EXPECT_EQ(ss["timers"][0]["mode"], 0);
  EXPECT_EQ(ss["timers"][0]["day"], 31);
  EXPECT_EQ(ss["timers"][2]["year"], 99);  // rows not named stay

  ASSERT_EQ(Cli("settings " + image + " --set quality=high input=mic --yes").status, 0);
  ss = ServiceSector(image);
  EXPECT_EQ(ss["av_quality_level"], 0);
  EXPECT_EQ(ss["audio_input_conf"], 0);
  const json read = JsonOf("settings " + image + " --json");
  EXPECT_EQ(read["quality"], "high");
  EXPECT_EQ(read["input"], "mic");
  EXPECT_EQ(read["ring"], true);
  EXPECT_EQ(read["timers"][2]["mode"], "once");
  ExpectFsckClean(image);
}

TEST(CliCardPrep, RefusalsAndBadValuesWriteNothing) {
  if (!HaveTools()) GTEST_SKIP() << "dosfstools/mtools missing";
  TempDir dir;
  const std::string image = dir / "card.img";
  ASSERT_TRUE(MakeRecordedCard(image).ok);
  RunCommand("cp --sparse=always " + image + " " + dir / "before.img");
  struct {
    const char* args;
    int status;
    const char* says;
  } cases[] = {
      {"settings IMG --set quality=ultra --yes", 2, "quality must be"},
      {"settings IMG --set vox=10 --yes", 2, "vox must be"},
      {"settings IMG --set timer1=once,2015-02-29,10:00,01:00 --yes", 2, "timer1 must be"},
      {"settings IMG --set timer4=off,2015-01-01,10:00,01:00 --yes", 2, "unknown setting"},
      {"settings IMG --set timer2=once,2015-01-01,24:00,01:00 --yes", 2, "timer2 must be"},
      {"settings IMG --set ring=yes --yes", 2, "ring must be"},
      {"settings IMG --set vox=3", 1, "pass --yes"},  // no terminal to ask on
      {"clear IMG", 1, "pass --yes"},
      {"erase IMG", 1, "pass --yes"},
      {"clear IMG extra --yes", 2, "usage"},
  };
  for (const auto& c : cases) {
    std::string args = c.args;
    args.replace(args.find("IMG"), 3, image);
    const auto r = Cli(args);
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.output;
    EXPECT_NE(r.output.find(c.says), std::string::npos) << c.args << "\n" << r.output;
  }
  EXPECT_TRUE(SameFile(image, dir / "before.img"));

  // A card image folder can be read but never written.
  testsupport::WriteImageFolder(dir.path().string(), 8);
  EXPECT_EQ(Cli("settings " + dir.path().string() + " --json").status, 0);
  for (const char* command : {"clear", "erase", "recover"}) {
    const auto r = Cli(std::string(command) + " " + dir.path().string() + " --yes");
    EXPECT_EQ(r.status, 1) << command;
    EXPECT_NE(r.output.find("card image folder"), std::string::npos) << r.output;
  }

  // An empty FAT32 volume is not marked: nothing to change.
  ASSERT_TRUE(testsupport::MakeFatVolume(dir / "empty.img", 66000, 32));
  RunCommand("cp --sparse=always " + dir / "empty.img" + " " + dir / "empty0.img");
  for (const char* args : {"clear", "erase", "recover", "settings"}) {
    const std::string tail = std::string(args) == "settings" ? " --set vox=1 --yes" : " --yes";
    const auto r = Cli(std::string(args) + " " + dir / "empty.img" + tail);
    EXPECT_EQ(r.status, 1) << args;
    EXPECT_NE(r.output.find("not a marked card"), std::string::npos) << r.output;
  }
  EXPECT_TRUE(SameFile(dir / "empty.img", dir / "empty0.img"));
}
