#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "base/endian.h"
#include "card/servsectclass.h"
#include "support/fat_image.h"
#include "support/temp_dir.h"

using nlohmann::json;
using testsupport::RunCommand;
using testsupport::TempDir;

namespace {

constexpr uint64_t kMiB = 1 << 20;

json Info(const std::string& medium) {
  const auto r = RunCommand(std::string(KORVAN_CLI_PATH) + " info '" + medium + "' --json 2>/dev/null");
  EXPECT_EQ(r.status, 0) << r.output;
  return json::parse(r.output, nullptr, false);
}

std::vector<uint8_t> ServiceBytes() {
  card::ServiceSector s;
  card::InitServiceSector(s, card::RegionGeometry{2, 8192, 8192, 16384});
  s.set_audio_input_conf(2);
  s.set_audio_vox_level(4);
  card::TimerEntry t;
  t.mode = 0x01;
  t.hour = 0x23;
  t.minute = 0x59;
  t.year = 0x26;
  t.dur_hours = 0x12;
  s.set_timer(0, t);
  return std::vector<uint8_t>(s.bytes().begin(), s.bytes().end());
}

}  // namespace

TEST(CliInfo, ImageFolder) {
  TempDir dir;
  ASSERT_TRUE(testsupport::WriteFile(dir / "hc00info.hcf", kMiB, ServiceBytes()));
  ASSERT_TRUE(testsupport::WriteFile(dir / "hc01info.hcf", kMiB));
  ASSERT_TRUE(testsupport::WriteFile(dir / "hcpt0000.hcf", 4 * kMiB));
  ASSERT_TRUE(testsupport::WriteFile(dir / "hcpt0001.hcf", 2 * kMiB));
  const json j = Info(dir.path().string());
  EXPECT_EQ(j["class"], "marked");
  EXPECT_EQ(j["imageMode"], true);
  EXPECT_EQ(j["hc00infoSector"], 0xFFFFFFFFu);
  EXPECT_EQ(j["N_rsf"], 2);
  EXPECT_EQ(j["N_sectors_in_rsr"], 12288);
  EXPECT_EQ(j["volumeSectors"], 12288);
  EXPECT_EQ(j["N_s_s"], 64);  // from the card's sector: 16384 >> 8
  EXPECT_EQ(j["description"], "Образ карты памяти размечен.\nПод записи отведено 6MB из 6MB");
  EXPECT_EQ(j["usage"], " Заполн.: 0B из 6MB");
  EXPECT_EQ(j["icons"]["label_a"], "LINE, Vox 4");
  EXPECT_EQ(j["icons"]["img_t"], "CLOCK");
  EXPECT_EQ(j["icons"]["img_q"], json({"STAR", "STAR", "STAR", "OSD"}));
  const json& ss = j["serviceSector"];
  EXPECT_EQ(ss["magic"], "c14feb4110ce810f");
  EXPECT_EQ(ss["format_version"], 203);
  EXPECT_EQ(ss["rec_bgn_sectnum"], 0xFFFFFFFFu);
  EXPECT_EQ(ss["timers"][0], json({{"mode", 1}, {"minute", 59}, {"hour", 23}, {"day", 1},
                                   {"month", 1}, {"year", 26}, {"durMinutes", 0},
                                   {"durHours", 12}}));
  EXPECT_EQ(ss["timers"].size(), 4u);
}

TEST(CliInfo, VolumeImagesOfEachClass) {
  if (!testsupport::HaveFatTools()) GTEST_SKIP() << "dosfstools/mtools missing";
  TempDir dir;
  ASSERT_TRUE(testsupport::MakeFatVolume(dir / "empty.img", 66000, 32));
  json j = Info(dir / "empty.img");
  EXPECT_EQ(j["class"], "empty");
  EXPECT_EQ(j["emptyFat32"], true);
  EXPECT_EQ(j["isFat32"], true);
  EXPECT_EQ(j["usage"], std::string(36, '='));
  EXPECT_EQ(j["icons"]["img_t"], "WARNING");

  ASSERT_TRUE(testsupport::MakeFatVolume(dir / "f16.img", 40000, 16));
  j = Info(dir / "f16.img");
  EXPECT_EQ(j["class"], "unformatted");
  EXPECT_EQ(j["isFat32"], false);
  EXPECT_EQ(j["emptyFat32"], false);
  EXPECT_EQ(j["volumeSectors"], 80000);

  ASSERT_TRUE(testsupport::MakeMarkedVolume(dir / "card.img", dir.path(), 66000,
                                            {4 * kMiB, 4 * kMiB}, kMiB, ServiceBytes()));
  j = Info(dir / "card.img");
  EXPECT_EQ(j["class"], "marked");
  EXPECT_EQ(j["imageMode"], false);
  EXPECT_EQ(j["cardLength"], 66000 * 1024);
  EXPECT_EQ(j["volumeSectors"], 132000);
  EXPECT_EQ(j["dirRegionSectors"], 16384);
  EXPECT_EQ(j["N_sectors_in_standard_rsf"], 8192);
  const uint32_t hc00 = j["hc00infoSector"], hc01 = j["hc01infoSector"], pt = j["hcpt0000Sector"];
  EXPECT_LT(0u, hc00);
  EXPECT_EQ(hc01, hc00 + 2048);  // 1 MiB files, allocated one after another
  EXPECT_EQ(pt, hc01 + 2048);
  EXPECT_EQ(j["icons"]["img_f"], "RING");
}

TEST(CliInfo, WholeDiskImage) {
  if (!testsupport::HaveFatTools()) GTEST_SKIP() << "dosfstools/mtools missing";
  TempDir dir;
  ASSERT_TRUE(testsupport::MakeMarkedVolume(dir / "vol.img", dir.path(), 66000, {4 * kMiB}));
  ASSERT_TRUE(testsupport::MakeDiskImage(dir / "disk.img", 80, "start=8192, size=132000, type=c",
                                         dir / "vol.img", 8192));
  const json j = Info(dir / "disk.img");
  EXPECT_EQ(j["partitionStart"], 8192);
  EXPECT_EQ(j["class"], "marked");
}

TEST(CliInfo, FailuresAndBadUsage) {
  auto r = RunCommand(std::string(KORVAN_CLI_PATH) + " info /nonexistent/card.img --json");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("cannot open medium"), std::string::npos);
  EXPECT_EQ(RunCommand(std::string(KORVAN_CLI_PATH) + " info").status, 2);
  EXPECT_EQ(RunCommand(std::string(KORVAN_CLI_PATH) + " info a b").status, 2);
}
