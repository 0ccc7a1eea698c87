#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "card/servsectclass.h"
#include "records/ring_builder.h"
#include "support/memory_region.h"
#include "support/temp_dir.h"

using testsupport::RunCommand;
using testsupport::TempDir;

namespace {

constexpr uint32_t kBlocks = 12;
constexpr uint32_t kRsr = 5000;

void WriteBytes(const std::string& path, const uint8_t* data, size_t size) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
}

// An image folder whose ring holds a 2-block recording and a 4-block one whose third block
// carries no information sector.
void WriteCard(const TempDir& dir) {
  testsupport::MemoryRegion region(kBlocks * 256);
  testsupport::RecordingSpec first;
  first.first = 1;
  first.blocks = 2;
  testsupport::WriteRecording(region, first);
  testsupport::RecordingSpec second;
  second.first = 3;
  second.blocks = 4;
  second.startrec_cycles = 5000;
  second.label = 900;
  second.ticks_per_block = 196608000 / 2;  // half a second per block
  for (uint32_t i = 0; i < second.blocks; ++i) {
    card::ServiceSector s = testsupport::InfoSectorFor(region, second, i);
    s.set_battery_adc(3000);
    testsupport::WriteInfoSector(region, second.first + i, s);
  }
  WriteBytes(dir / "hcpt0000.hcf", region.sector(0), size_t(kBlocks) * 256 * 512);

  card::ServiceSector service;
  card::InitServiceSector(service, region.geometry());
  service.set_rsr_sectnum(kRsr);
  service.set_rec_bgn_sectnum(kRsr);
  service.set_rec_end_sectnum(kRsr + 6 * 256);
  std::vector<uint8_t> info(1 << 20, 0);
  std::copy(service.bytes().begin(), service.bytes().end(), info.begin());
  WriteBytes(dir / "hc00info.hcf", info.data(), info.size());
  WriteBytes(dir / "hc01info.hcf", info.data(), info.size());
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Cli(const std::string& args) {
  return std::string(KORVAN_CLI_PATH) + " battery-log " + args;
}

}  // namespace

TEST(CliBatteryLog, WritesOneLinePerBlockWithTheMagic) {
  TempDir card, out;
  WriteCard(card);
  // The middle blocks are the ones the scan never probes; blank one to see it skipped.
  {
    std::fstream f(card / "hcpt0000.hcf", std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(std::streamoff(5 * 256 + 255) * 512);
    const std::vector<char> zeros(512, 0);
    f.write(zeros.data(), 512);
  }
  const auto r = RunCommand(Cli("'" + card.path().string() + "' 1 '" + out.path().string() +
                                "' 2>&1"));
  ASSERT_EQ(r.status, 0) << r.output;
  const std::string path = out / "2014-03-05_14-07-09_accum.dat";
  EXPECT_EQ(r.output, path + "\n");
  EXPECT_EQ(ReadAll(path), "[0,00] > 4,02832\n[0,50] > 4,02832\n[1,50] > 4,02832\n");
}

TEST(CliBatteryLog, RefusesBadArgumentsWithoutWriting) {
  TempDir card, out;
  WriteCard(card);
  const std::string medium = "'" + card.path().string() + "'";
  EXPECT_EQ(RunCommand(Cli(medium + " x '" + out.path().string() + "' 2>&1")).status, 2);
  const auto missing = RunCommand(Cli(medium + " 5 '" + out.path().string() + "' 2>&1"));
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.output.find("no recording 5 (the card lists 2)"), std::string::npos);
  EXPECT_EQ(RunCommand(Cli(medium + " 0 '" + (out / "absent") + "' 2>&1")).status, 1);
  EXPECT_TRUE(std::filesystem::is_empty(out.path()));
}
