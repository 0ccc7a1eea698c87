#include "records/record_diagnostics.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "records/output_folder.h"
#include "support/memory_region.h"
#include "support/temp_dir.h"

using records::TRecord;

namespace {

TRecord SampleRecord() {
  TRecord r;
  r.bss_index = 12;
  r.ess_index = 15;
  r.bss.set_recstate(5);
  r.bss.set_ye(14);
  r.bss.set_mo(3);
  r.bss.set_md(5);
  r.bss.set_ho(14);
  r.bss.set_mi(7);
  r.bss.set_se(9);
  card::ServiceSector& e = r.ess;
  e.set_recstate(0);
  e.set_startrec_cycles(1000);
  e.set_cycles(393217000);
  e.set_f_cclk_copy(196608000);
  e.set_firmware_version(0x1A);
  e.set_poweron_uid0(0xABCDEF);
  e.set_dev_uid(0x12);
  e.set_imei_sn(0xFFFFFFFF);
  e.set_audio_input_conf(1);
  e.set_audio_vox_level(4);
  e.set_rec_mode_flags(1);
  e.set_N_sectors_in_rsr(25600);
  e.set_N_sectors_in_standard_rsf(25600);
  e.set_N_sectors_in_the_last_rsf(25600);
  e.set_N_rsf(1);
  e.set_vbitrate(2000000);
  e.set_av_quality_level(1);
  e.set_resolution_w(640);
  e.set_resolution_h(480);
  e.set_video_flags(0xCCCA);
  e.set_audio_param_a(48000);
  e.set_audio_param_b(2);
  e.set_audio_param_c(16);
  return r;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Writes an information sector with the magic into block `b` of `region`.
void PutInfo(testsupport::MemoryRegion& region, uint32_t b, uint64_t cycles, uint32_t adc) {
  card::ServiceSector s;
  s.set_magic();
  s.set_startrec_cycles(0);
  s.set_cycles(cycles);
  s.set_battery_adc(adc);
  std::memcpy(region.sector(b * 256 + 255), s.data(), base::kSectorSize);
}

}  // namespace

TEST(RecordDiagnostics, FullDumpPrintsEveryPieceInOrder) {
  const std::string expected =
      "rsr: [3 : 40]\nrecord #2"
      "\nbss:\n bss_index = 12\n recstate = (be)"
      "\ness:\n ess_index = 15\n recstate = ()"
      "\n startrec_cycles = 1000\n cycles = 393217000\n d_cycles = 393216000"
      "\n f_cclk_copy = 196608000\n firmware version = 001A"
      "\n poweron_uid0 = 0x00ABCDEF\n dev_uid (HEX) = 0x00000012"
      "\n imei_sn = -1\n imei_sn (HEX) = 0xFFFFFFFF"
      "\n audio_input_conf = 1\n audio_vox_level = 4\n rec_mode_flags = 1"
      "\n N_sectors_in_rsr = 25600\n N_sectors_in_standard_rsf = 25600"
      "\n N_sectors_in_the_last_rsf = 25600\n N_rsf = 1\n"
      "\n vbitrate/av_quality_level = 2000000/me "
      "\n resolution = 640x480\n progscale/fldcoding = 1/0"
      "\n audio params = 48000/2/16\n audio input/vox level = agc/4";
  EXPECT_EQ(records::FullRecordDump(SampleRecord(), 2, {3, 40}), expected);
}

TEST(RecordDiagnostics, ShortDumpPrintsTheStoredDateBytes) {
  const std::string expected =
      "rsr: [3 : 40]\nrecord #0"
      "\n startrec_cycles = 1000\n cycles = 393217000\n d_cycles = 393216000"
      "\n f_cclk_copy = 196608000"
      "\n ye = 14\n mo = 3\n md = 5\n ho = 14\n mi = 7\n se = 9"
      "\n audio_input_conf = 1\n poweron_uid0 = 0x00ABCDEF\n imei_sn = -1";
  EXPECT_EQ(records::ShortRecordDump(SampleRecord(), 0, {3, 40}), expected);
}

TEST(RecordDiagnostics, NameIndexOutsideTheTablesIsShownAsItsNumber) {
  TRecord r = SampleRecord();
  r.ess.set_av_quality_level(7);
  r.ess.set_audio_input_conf(9);
  const std::string dump = records::FullRecordDump(r, 0, {});
  EXPECT_NE(dump.find("2000000/?7"), std::string::npos);
  EXPECT_NE(dump.find("audio input/vox level = ?9/4"), std::string::npos);
}

TEST(RecordDiagnostics, BatteryLineUsesCommasAndTheDefaultClock) {
  card::ServiceSector s;
  s.set_startrec_cycles(0);
  s.set_cycles(uint64_t(196608000) * 25 / 2);  // 12.5 s
  s.set_battery_adc(3000);
  EXPECT_EQ(records::BatteryLogLine(s), "[12,50] > 4,02832\n");
  s.set_f_cclk_copy(1000);
  s.set_cycles(500);
  s.set_startrec_cycles(1500);  // before the start: a negative time
  EXPECT_EQ(records::BatteryLogLine(s), "[-1,00] > 4,02832\n");
}

TEST(RecordDiagnostics, BatteryLogSkipsBlocksWithoutTheMagicAndWrapsTheRing) {
  testsupport::MemoryRegion region(10 * 256);
  TRecord r;
  r.bss_index = 8;  // blocks 8, 9, 0, 1
  r.ess_index = 1;
  r.ess.set_N_sectors_in_rsr(10 * 256);
  r.bss.set_ye(14);
  r.bss.set_mo(3);
  r.bss.set_md(5);
  r.bss.set_ho(14);
  r.bss.set_mi(7);
  r.bss.set_se(9);
  PutInfo(region, 8, 0, 3000);
  PutInfo(region, 9, 196608000, 2900);
  PutInfo(region, 1, 3 * uint64_t(196608000), 2800);  // block 0 carries no magic

  testsupport::TempDir dir;
  const std::string name = records::BatteryLogFileName(r);
  EXPECT_EQ(name, "2014-03-05_14-07-09_accum.dat");
  const records::BatteryLogResult res = records::WriteBatteryLog(region, r, 10, dir / name);
  EXPECT_TRUE(res.opened);
  EXPECT_EQ(res.lines, 3);
  EXPECT_EQ(res.skipped, 1);
  EXPECT_EQ(ReadFile(dir / name),
            "[0,00] > 4,02832\n[1,00] > 3,89404\n[3,00] > 3,75977\n");
}

TEST(RecordDiagnostics, BatteryLogSkipsUnreadableBlocksAndReportsAnUnwritableFile) {
  testsupport::MemoryRegion region(10 * 256);
  TRecord r;
  r.bss_index = 2;
  r.ess_index = 3;
  PutInfo(region, 2, 0, 1000);
  PutInfo(region, 3, 0, 1000);
  region.fail_sector(3 * 256 + 255);
  testsupport::TempDir dir;
  records::BatteryLogResult res = records::WriteBatteryLog(region, r, 10, dir / "log.dat");
  EXPECT_EQ(res.lines, 1);
  EXPECT_EQ(res.skipped, 1);

  res = records::WriteBatteryLog(region, r, 10, dir / "missing/log.dat");
  EXPECT_FALSE(res.opened);
}

TEST(OutputFolder, StoredFolderIsOfferedOnlyWhileItExists) {
  testsupport::TempDir dir;
  EXPECT_EQ(records::UsableStartFolder(dir.path().string()), dir.path().string());
  EXPECT_EQ(records::UsableStartFolder(dir / "gone"), "");
  EXPECT_EQ(records::UsableStartFolder(""), "");
}

TEST(OutputFolder, TrailingSeparatorIsAddedOnce) {
  EXPECT_EQ(records::WithTrailingSeparator("/tmp/out"), "/tmp/out/");
  EXPECT_EQ(records::WithTrailingSeparator("/"), "/");
  EXPECT_EQ(records::WithTrailingSeparator("E:\\"), "E:\\");
  EXPECT_EQ(records::WithTrailingSeparator(""), "");
}
