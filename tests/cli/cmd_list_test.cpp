#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "records/card_folder.h"
#include "support/temp_dir.h"

using testsupport::CardFolder;
using testsupport::RecordingSpec;
using testsupport::RunCommand;
using testsupport::TempDir;

namespace {

std::string List(const std::string& args) {
  return std::string(KORVAN_CLI_PATH) + " list " + args + " 2>&1";
}

RecordingSpec Rec(uint32_t first, uint32_t blocks, uint64_t identity) {
  RecordingSpec s;
  s.first = first;
  s.blocks = blocks;
  s.startrec_cycles = identity;
  return s;
}

}  // namespace

TEST(CliList, JsonListsEveryRecordingOfAFolder) {
  TempDir tmp;
  CardFolder card(tmp.path() / "card", 3, 40);  // 120 blocks over three files
  RecordingSpec wrap = Rec(110, 20, 3);         // 110..119, 0..9
  wrap.imei_sn = 0xFFFFFFFF;
  card.write_recording(wrap);
  card.write_recording(Rec(10, 35, 4));  // crosses from file 0 into file 1
  RecordingSpec late = Rec(60, 20, 5);
  late.imei_sn = 1048576;
  late.start_bit = false;
  card.write_recording(late);
  card.set_ring(109, 100);
  card.finish();

  const auto r = RunCommand(List(card.path() + " --json"));
  ASSERT_EQ(r.status, 0) << r.output;
  const auto j = nlohmann::json::parse(r.output);
  EXPECT_FALSE(j["scanFailed"].get<bool>());
  EXPECT_GT(j["reads"].get<int>(), 0);
  EXPECT_LT(j["reads"].get<int>(), 60);
  const auto& recs = j["records"];
  ASSERT_EQ(recs.size(), 3u);
  EXPECT_EQ(recs[0]["index"], 0);
  EXPECT_EQ(recs[0]["bss_index"], 110);
  EXPECT_EQ(recs[0]["ess_index"], 9);
  EXPECT_EQ(recs[0]["blocks"], 20);
  EXPECT_EQ(recs[0]["duration"], 19);  // one second per block from the start counter
  EXPECT_EQ(recs[0]["line"], "Запись 2014-03-05_14-07-09, длит. 0 ч 00 мин 19 с");
  EXPECT_EQ(recs[0]["imei_sn"], 0xFFFFFFFFu);
  EXPECT_EQ(recs[1]["bss_index"], 10);
  EXPECT_EQ(recs[1]["ess_index"], 44);
  EXPECT_EQ(recs[1]["startrec_cycles"], 4);
  EXPECT_EQ(recs[1]["poweron_uid0"], 7);
  EXPECT_EQ(recs[2]["bss_index"], 60);
  EXPECT_EQ(recs[2]["blocks"], 20);
  EXPECT_EQ(recs[2]["duration"], 20);  // 19 s from first to last block, plus one average block
  EXPECT_EQ(recs[2]["stamp"], "2014-03-05_14-07-09");
  EXPECT_EQ(recs[2]["line"], "[00100000] 2014-03-05_14-07-09, длит. 0 ч 00 мин 20 с");
}

TEST(CliList, PlainOutputIsIndexTabLine) {
  TempDir tmp;
  CardFolder card(tmp.path() / "card", 1, 30);
  card.write_recording(Rec(1, 3, 1));
  card.write_recording(Rec(4, 1, 2));
  card.set_ring(0, 29);
  card.finish();
  const auto r = RunCommand(List(card.path()));
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(r.output,
            "0\t[012345] 2014-03-05_14-07-09, длит. 0 ч 00 мин 02 с\n"
            "1\t[012345] 2014-03-05_14-07-09, длит. 0 ч 00 мин 00 с\n");
}

TEST(CliList, UnsetPointersListNothing) {
  TempDir tmp;
  CardFolder card(tmp.path() / "card", 1, 30);
  card.write_recording(Rec(1, 3, 1));
  card.finish();  // pointers still 0xFFFFFFFF
  const auto r = RunCommand(List(card.path() + " --json"));
  ASSERT_EQ(r.status, 0) << r.output;
  const auto j = nlohmann::json::parse(r.output);
  EXPECT_TRUE(j["records"].empty());
  EXPECT_EQ(j["reads"], 0);
}

TEST(CliList, RingLargerThanTheFilesFailsAfterListingWhatItFound) {
  TempDir tmp;
  CardFolder card(tmp.path() / "card", 1, 30);
  card.write_recording(Rec(1, 3, 1));
  card.service().set_N_sectors_in_rsr(60 * 256);  // the service sector claims 60 blocks
  card.set_ring(0, 50);
  card.finish();
  const auto r = RunCommand("(" + std::string(KORVAN_CLI_PATH) + " list " + card.path() +
                            " --json 2>/dev/null)");
  EXPECT_EQ(r.status, 1);
  const auto j = nlohmann::json::parse(r.output);
  EXPECT_TRUE(j["scanFailed"].get<bool>());
  ASSERT_EQ(j["records"].size(), 1u);
  EXPECT_EQ(j["records"][0]["ess_index"], 3);
}

TEST(CliList, BadArgumentsAndMedia) {
  TempDir tmp;
  EXPECT_EQ(RunCommand(List("")).status, 2);
  EXPECT_EQ(RunCommand(List(tmp.path().string() + " --bogus")).status, 2);
  const auto r = RunCommand(List(tmp.path().string()));  // a folder without hc files
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("not a marked card"), std::string::npos) << r.output;
  EXPECT_EQ(RunCommand(List(tmp / "missing")).status, 1);
}
