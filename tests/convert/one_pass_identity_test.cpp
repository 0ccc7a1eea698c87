// The one-pass conversion writes the same bytes as muxing the part's elementary-stream files
// with process(): both runs of the same simulated card with the same fixed clock and the same
// encoder draws are compared whole, integrity record included.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <nlohmann/json.hpp>

#include "card/card_medium.h"
#include "convert/etenc.h"
#include "convert/local_seconds.h"
#include "convert/movieconvth.h"
#include "convert/mp4_muxer.h"
#include "records/scan_whole_ring.h"
#include "support/temp_dir.h"

using testsupport::RunCommand;
using testsupport::TempDir;

namespace {

std::string Quote(const std::string& s) { return "'" + s + "'"; }

std::string ReadAll(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Fixes the clock and the encoder's draws for the test's lifetime.
class FixedRun {
 public:
  FixedRun() { convert::FixIntegrityClock(850000000); }
  ~FixedRun() {
    convert::FixIntegrityClock(0);
    convert::SetProgramRandomSource({});
  }
  // The same sequence of draws for every conversion.
  void Restart() {
    convert::SetProgramRandomSource([state = uint32_t(12345)]() mutable {
      state = state * 1103515245u + 12345u;
      return int((state >> 16) & 0x7FFF);
    });
  }
};

struct Card {
  platform::NullNoticeSink notices;
  card::CardMedium medium{notices};
  std::vector<records::TRecord> records;
};

bool OpenCard(Card& c, const std::string& path) {
  if (!c.medium.OpenMedium(path) || !c.medium.regionReader()) return false;
  c.records = records::ScanWholeRing(*c.medium.regionReader(),
                                     {c.medium.N_s_s, c.medium.s_s_bgn, c.medium.s_s_end})
                  .records;
  return true;
}

// Converts into `out` and returns the written files by name with their bytes.
std::map<std::string, std::string> Convert(Card& c, const records::TRecord& rec,
                                           convert::ConversionRequest q, int64_t limit,
                                           bool throughFiles) {
  platform::NullNoticeSink notices;
  convert::TMovieConvTh worker(*c.medium.regionReader(), rec, q, notices, limit);
  if (throughFiles) worker.set_muxer(process);
  worker.start();
  EXPECT_TRUE(worker.wait_finished(std::chrono::seconds(120)));
  EXPECT_TRUE(worker.done) << worker.errorCode;
  EXPECT_EQ(worker.errorCode, 0);
  worker.request_terminate();
  worker.join();
  std::map<std::string, std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(q.outputDir)) {
    files[e.path().filename().string()] = ReadAll(e.path());
    std::filesystem::remove(e.path());
  }
  return files;
}

// Both ways, one after the other into the same folder (the path is part of the record).
void ExpectSameBytes(Card& c, const records::TRecord& rec, const convert::ConversionRequest& q,
                     int64_t limit = convert::kSplitLimit, size_t parts = 1) {
  FixedRun fixed;
  fixed.Restart();
  const auto old = Convert(c, rec, q, limit, true);
  fixed.Restart();
  const auto now = Convert(c, rec, q, limit, false);
  ASSERT_GE(old.size(), parts);
  ASSERT_EQ(now.size(), old.size());
  for (const auto& [name, bytes] : old) {
    ASSERT_TRUE(now.count(name)) << name;
    EXPECT_GT(bytes.size(), 1000u) << name;
    EXPECT_TRUE(now.at(name) == bytes) << name << ": " << now.at(name).size() << " bytes against "
                                        << bytes.size();
  }
}

convert::ConversionRequest Whole(const records::TRecord& r, const std::string& out) {
  convert::ConversionRequest q;
  q.convStart = r.bss_index * 256;
  q.convBaseName = card::FormatStamp(r.bss);
  q.outputDir = out + "/";
  return q;
}

std::string Cardsim() {
#ifdef KORVAN_CARDSIM_PATH
  return KORVAN_CARDSIM_PATH;
#else
  return "";
#endif
}

bool WriteCard(const TempDir& dir, const std::string& options) {
  const auto r = RunCommand(Cardsim() + " write " + Quote(dir / "card") + " --size 352x288 " +
                            options);
  EXPECT_EQ(r.status, 0) << r.output;
  std::filesystem::create_directory(dir / "out");
  return r.status == 0;
}

#define REQUIRE_CARDSIM() \
  if (Cardsim().empty()) GTEST_SKIP() << "needs korvan-cardsim"

}  // namespace

TEST(OnePassConversion, WritesTheSameBytesAsMuxingElementaryStreamFiles) {
  REQUIRE_CARDSIM();
  {
    TempDir dir;  // several recordings
    ASSERT_TRUE(WriteCard(dir, "--recordings 3 --duration 2"));
    Card c;
    ASSERT_TRUE(OpenCard(c, dir / "card"));
    ASSERT_EQ(c.records.size(), 3u);
    for (const auto& rec : c.records) ExpectSameBytes(c, rec, Whole(rec, dir / "out"));
  }
  {
    TempDir dir;  // a recording wrapping past the end of the region
    ASSERT_TRUE(WriteCard(dir, "--file-mib 1 --ring-start 5 --recordings 1 --blocks 5"));
    Card c;
    ASSERT_TRUE(OpenCard(c, dir / "card"));
    ASSERT_EQ(c.records.size(), 1u);
    ASSERT_GT(c.records[0].bss_index, c.records[0].ess_index);
    ExpectSameBytes(c, c.records[0], Whole(c.records[0], dir / "out"));
  }
  {
    TempDir dir;  // split parts under a lowered limit, and a range
    ASSERT_TRUE(WriteCard(dir, "--file-mib 2 --recordings 1 --blocks 12"));
    Card c;
    ASSERT_TRUE(OpenCard(c, dir / "card"));
    ASSERT_EQ(c.records.size(), 1u);
    const records::TRecord& rec = c.records[0];
    ExpectSameBytes(c, rec, Whole(rec, dir / "out"), 400000, 3);
    convert::ConversionRequest range = Whole(rec, dir / "out");
    range.convStart = (rec.bss_index + 2) * 256 + 10;
    range.convEnd = (rec.bss_index + 7) * 256 + 100;
    range.convBaseName = "range_001";
    ExpectSameBytes(c, rec, range);
  }
}
