// End-to-end conversions of simulated cards, checked by real peers: the recorder simulator
// writes the card, korvan-cli (or the worker in-process) converts it, ffprobe counts what the
// .mp4 holds and ffmpeg decodes it. Skipped when the simulator or FFmpeg's tools are missing.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "card/card_medium.h"
#include "convert/movieconvth.h"
#include "records/scan_whole_ring.h"
#include "support/temp_dir.h"

using testsupport::Lines;
using testsupport::Names;
using testsupport::RunCommand;
using testsupport::TempDir;

namespace {

std::string CardsimPath() {
#ifdef KORVAN_CARDSIM_PATH
  return KORVAN_CARDSIM_PATH;
#else
  const char* env = std::getenv("KORVAN_CARDSIM");
  return env ? env : "";
#endif
}

#define REQUIRE_PEERS()                                                                     \
  if (CardsimPath().empty() || !testsupport::HaveProgram("ffprobe") ||                      \
      !testsupport::HaveProgram("ffmpeg"))                                                  \
  GTEST_SKIP() << "needs korvan-cardsim, ffprobe and ffmpeg"

std::string Quote(const std::string& s) { return "'" + s + "'"; }

// Writes a simulated card into dir/card; returns the simulator's account of it.
nlohmann::json WriteCard(const TempDir& dir, const std::string& options) {
  const std::string json = dir / "card.json";
  const auto r = RunCommand(CardsimPath() + " write " + Quote(dir / "card") + " --json " +
                            Quote(json) + " --size 352x288 " + options);
  EXPECT_EQ(r.status, 0) << r.output;
  std::ifstream in(json);
  return nlohmann::json::parse(in, nullptr, false);
}

struct Probe {
  int video = 0, audio = 0;
  double videoSeconds = 0;
  bool firstIsKey = false;
};

Probe ProbeFile(const std::string& mp4) {
  Probe p;
  const auto streams = RunCommand("ffprobe -v error -count_frames -show_entries "
                                  "stream=codec_type,nb_read_frames,duration -of compact=p=0 " +
                                  Quote(mp4));
  std::istringstream lines(streams.output);
  for (std::string line; std::getline(lines, line);) {
    std::map<std::string, std::string> kv;
    std::istringstream fields(line);
    for (std::string f; std::getline(fields, f, '|');)
      if (const size_t eq = f.find('='); eq != std::string::npos)
        kv[f.substr(0, eq)] = f.substr(eq + 1);
    if (kv["codec_type"] == "video") {
      p.video = std::atoi(kv["nb_read_frames"].c_str());
      p.videoSeconds = std::atof(kv["duration"].c_str());
    } else if (kv["codec_type"] == "audio") {
      p.audio = std::atoi(kv["nb_read_frames"].c_str());
    }
  }
  const auto first = RunCommand("ffprobe -v error -select_streams v -read_intervals %+#1 "
                                "-show_entries frame=key_frame -of csv=p=0 " + Quote(mp4));
  p.firstIsKey = first.output.rfind("1", 0) == 0;
  return p;
}

// ffmpeg decodes every frame without a single message at level "error".
void ExpectDecodes(const std::string& mp4) {
  const auto r = RunCommand("ffmpeg -nostdin -v error -i " + Quote(mp4) + " -f null -");
  EXPECT_EQ(r.status, 0) << mp4;
  EXPECT_EQ(r.output, "") << mp4;
}

// Forwards reads, failing chosen sectors with a chosen result, or all reads from the n-th
// on (a card pulled out).
class FaultyRegion final : public card::RegionReader {
 public:
  explicit FaultyRegion(card::RegionReader& inner) : inner_(inner) {}
  const card::RegionGeometry& geometry() const override { return inner_.geometry(); }
  card::RegionReadResult read_sector(uint32_t s, base::Sector& out) override {
    ++count_;
    if (failFrom && count_ >= failFrom) return card::RegionReadResult::no_file;
    if (s == failSector) return failResult;
    return inner_.read_sector(s, out);
  }
  void close() override { inner_.close(); }
  uint64_t reads() const override { return count_; }
  void reset_reads() override { count_ = 0; }

  int64_t failSector = -1;
  card::RegionReadResult failResult = card::RegionReadResult::short_read;
  uint64_t failFrom = 0;

 private:
  card::RegionReader& inner_;
  uint64_t count_ = 0;
};

// An open simulated card and the recordings its scan lists.
struct OpenCard {
  platform::NullNoticeSink notices;
  card::CardMedium medium{notices};
  std::vector<records::TRecord> records;

  explicit OpenCard(const std::string& path) {
    if (!medium.OpenMedium(path) || !medium.regionReader()) return;
    records = records::ScanWholeRing(*medium.regionReader(),
                                     {medium.N_s_s, medium.s_s_bgn, medium.s_s_end})
                  .records;
  }
};

struct Outcome {
  bool done = false, failed = false;
  int code = 0;
  std::vector<std::string> paths;
};

Outcome Convert(card::RegionReader& region, const records::TRecord& rec,
                convert::ConversionRequest q, int64_t limit = convert::kSplitLimit) {
  Outcome o;
  platform::NullNoticeSink notices;
  convert::TMovieConvTh worker(region, rec, std::move(q), notices, limit);
  worker.set_part_sink([&](const std::string& p) { o.paths.push_back(p); });
  worker.start();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!worker.done && !worker.failed && !worker.ended() &&
         std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  worker.request_terminate();
  while (!worker.ended()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  o.done = worker.done;
  o.failed = worker.failed;
  o.code = worker.errorCode;
  return o;
}

convert::ConversionRequest WholeRecord(const records::TRecord& r, const std::string& out) {
  convert::ConversionRequest q;
  q.convStart = r.bss_index * 256;
  q.convBaseName = card::FormatStamp(r.bss);
  q.outputDir = out + "/";
  return q;
}

}  // namespace

TEST(ConversionEndToEnd, CliConvertsEachRecordingAsThePeersCountIt) {
  REQUIRE_PEERS();
  TempDir dir;
  const nlohmann::json card = WriteCard(dir, "--recordings 2 --duration 3");
  std::filesystem::create_directory(dir / "out");
  const auto r = RunCommand(std::string(KORVAN_CLI_PATH) + " convert " + Quote(dir / "card") +
                            " " + Quote(dir / "out") + " 2>/dev/null");
  ASSERT_EQ(r.status, 0) << r.output;
  const std::vector<std::string> paths = Lines(r.output);
  ASSERT_EQ(paths.size(), 2u);
  for (size_t i = 0; i < paths.size(); ++i) {
    const nlohmann::json& rec = card["recordings"][i];
    EXPECT_EQ(paths[i], dir / ("out/" + rec["stamp"].get<std::string>() + ".mp4"));
    const Probe p = ProbeFile(paths[i]);
    EXPECT_EQ(p.video, rec["video_frames"].get<int>());
    EXPECT_EQ(p.audio, rec["audio_frames"].get<int>());
    EXPECT_NEAR(p.videoSeconds, rec["media_seconds"].get<double>(), 1.0 / 25 + 1e-6);
    EXPECT_TRUE(p.firstIsKey);
    ExpectDecodes(paths[i]);
    const auto verify = RunCommand(std::string(KORVAN_CLI_PATH) + " verify " + Quote(paths[i]));
    EXPECT_EQ(verify.status, 0) << verify.output;
  }
  EXPECT_EQ(Names(dir / "out").size(), 2u) << "no temporary file is left";
}

TEST(ConversionEndToEnd, RecordWrappingPastTheRegionEndConvertsWhole) {
  REQUIRE_PEERS();
  TempDir dir;
  const nlohmann::json card = WriteCard(dir, "--file-mib 1 --ring-start 5 --recordings 1 --blocks 5");
  const nlohmann::json& rec = card["recordings"][0];
  ASSERT_GT(rec["first_block"].get<int>(), rec["last_block"].get<int>()) << "the record wraps";
  std::filesystem::create_directory(dir / "out");
  const auto r = RunCommand(std::string(KORVAN_CLI_PATH) + " convert " + Quote(dir / "card") +
                            " " + Quote(dir / "out") + " --records 0 2>/dev/null");
  ASSERT_EQ(r.status, 0) << r.output;
  ASSERT_EQ(Lines(r.output).size(), 1u);
  const Probe p = ProbeFile(Lines(r.output)[0]);
  EXPECT_EQ(p.video, rec["video_frames"].get<int>());
  EXPECT_EQ(p.audio, rec["audio_frames"].get<int>());
  ExpectDecodes(Lines(r.output)[0]);
}

TEST(ConversionEndToEnd, RangeConversionTakesPartOfTheRecordUnderFreshNames) {
  REQUIRE_PEERS();
  TempDir dir;
  const nlohmann::json card = WriteCard(dir, "--recordings 1 --blocks 6");
  const nlohmann::json& rec = card["recordings"][0];
  const int first = rec["first_block"].get<int>();
  std::filesystem::create_directory(dir / "out");
  const std::string command = std::string(KORVAN_CLI_PATH) + " convert " + Quote(dir / "card") +
                              " " + Quote(dir / "out") + " --range " +
                              std::to_string((first + 1) * 256 + 10) + " " +
                              std::to_string((first + 3) * 256 + 100) + " --record 0 2>/dev/null";
  const auto r1 = RunCommand(command);
  const auto r2 = RunCommand(command);
  ASSERT_EQ(r1.status, 0) << r1.output;
  ASSERT_EQ(r2.status, 0) << r2.output;
  const std::string stamp = rec["stamp"];
  EXPECT_EQ(Lines(r1.output), std::vector<std::string>{dir / ("out/" + stamp + "_001.mp4")});
  EXPECT_EQ(Lines(r2.output), std::vector<std::string>{dir / ("out/" + stamp + "_002.mp4")});
  const Probe p = ProbeFile(Lines(r1.output)[0]);
  EXPECT_GT(p.video, 0);
  EXPECT_LT(p.video, rec["video_frames"].get<int>() * 3 / 4);
  EXPECT_TRUE(p.firstIsKey);
  ExpectDecodes(Lines(r1.output)[0]);
}

TEST(ConversionEndToEnd, SplitPartsStartWithKeyFramesAndKeepOtherFilesNumbers) {
  REQUIRE_PEERS();
  TempDir dir;
  const nlohmann::json card = WriteCard(dir, "--file-mib 2 --recordings 1 --blocks 12");
  const nlohmann::json& rec = card["recordings"][0];
  OpenCard open(dir / "card");
  ASSERT_EQ(open.records.size(), 1u);
  std::filesystem::create_directory(dir / "out");
  const std::string base = card::FormatStamp(open.records[0].bss);
  std::ofstream(dir / ("out/" + base + "_part01.mp4")) << "kept";
  const Outcome o = Convert(*open.medium.regionReader(), open.records[0],
                            WholeRecord(open.records[0], dir / "out"), 400000);
  ASSERT_TRUE(o.done) << o.code;
  ASSERT_GE(o.paths.size(), 3u);
  int video = 0, audio = 0;
  for (size_t i = 0; i < o.paths.size(); ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "_part%02zu.mp4", i + 2);
    EXPECT_EQ(o.paths[i], dir / ("out/" + base + name));
    const Probe p = ProbeFile(o.paths[i]);
    EXPECT_TRUE(p.firstIsKey) << o.paths[i];
    ExpectDecodes(o.paths[i]);
    video += p.video;
    audio += p.audio;
  }
  // Neighbouring parts share one box: the one before each later part's first key frame.
  const int overlaps = int(o.paths.size()) - 1;
  EXPECT_GE(video + audio, rec["video_frames"].get<int>() + rec["audio_frames"].get<int>());
  EXPECT_LE(video + audio,
            rec["video_frames"].get<int>() + rec["audio_frames"].get<int>() + overlaps);
  EXPECT_EQ(Names(dir / "out").size(), o.paths.size() + 1);

  // Converting again overwrites its own parts under the same numbers, and keeps the other file.
  const Outcome again = Convert(*open.medium.regionReader(), open.records[0],
                                WholeRecord(open.records[0], dir / "out"), 400000);
  ASSERT_TRUE(again.done) << again.code;
  EXPECT_EQ(again.paths, o.paths);
  EXPECT_EQ(Names(dir / "out").size(), o.paths.size() + 1);
}

TEST(ConversionEndToEnd, DamagedCardsReportEveryReaderCode) {
  REQUIRE_PEERS();
  TempDir dir;
  WriteCard(dir, "--recordings 1 --blocks 6");
  OpenCard open(dir / "card");
  ASSERT_EQ(open.records.size(), 1u);
  const records::TRecord rec = open.records[0];
  const int32_t start = rec.bss_index * 256;
  struct Case {
    const char* what;
    int code;
    std::function<void(FaultyRegion&)> damage;
  };
  const std::vector<Case> cases = {
      {"short read in a data sector", 1524, [&](FaultyRegion& f) { f.failSector = start + 300; }},
      {"sector beyond its file", 5107,
       [&](FaultyRegion& f) {
         f.failSector = start + 300;
         f.failResult = card::RegionReadResult::beyond_file;
       }},
      {"card pulled", 3015, [&](FaultyRegion& f) { f.failFrom = 200; }},
      {"unreadable information sector", 9834, [&](FaultyRegion& f) { f.failSector = start + 255; }},
  };
  for (const Case& c : cases) {
    const std::string out = dir / (std::string("out-") + std::to_string(c.code));
    std::filesystem::create_directory(out);
    FaultyRegion faulty(*open.medium.regionReader());
    c.damage(faulty);
    const Outcome o = Convert(faulty, rec, WholeRecord(rec, out));
    EXPECT_TRUE(o.failed) << c.what;
    EXPECT_EQ(o.code, c.code) << c.what;
    EXPECT_TRUE(Names(out).empty()) << c.what;
  }

  // A configuration box whose size runs past its information sector (damaged on the card).
  const std::string part = dir / "card/hcpt0000.hcf";
  {
    std::fstream f(part, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(std::streamoff(start + 255) * 512 + 128);
    const char size[4] = {0, 0, 0x01, char(0x90)};  // 400 bytes from offset 128
    f.write(size, 4);
  }
  OpenCard damaged(dir / "card");
  const std::string out = dir / "out-2224";
  std::filesystem::create_directory(out);
  const Outcome o = Convert(*damaged.medium.regionReader(), rec, WholeRecord(rec, out));
  EXPECT_TRUE(o.failed);
  EXPECT_EQ(o.code, 2224);
  EXPECT_TRUE(Names(out).empty());
}

TEST(ConversionEndToEnd, CliInterruptLeavesNoTemporaryFiles) {
  REQUIRE_PEERS();
  if (!testsupport::HaveProgram("timeout")) GTEST_SKIP() << "needs timeout";
  TempDir dir;
  WriteCard(dir, "--file-mib 64 --recordings 1 --blocks 400");
  std::filesystem::create_directory(dir / "out");
  // SIGTERM (SIGINT may be ignored in a test runner's background job) while converting; on a
  // fast machine it may come after the end, on a slow one before the handler exists. No case
  // may leave a temporary file, and a cancel must say so and fail.
  const auto r = RunCommand("timeout --preserve-status -s TERM 0.08 " +
                            std::string(KORVAN_CLI_PATH) + " convert " + Quote(dir / "card") +
                            " " + Quote(dir / "out"));
  for (const std::string& name : Names(dir / "out"))
    EXPECT_EQ(name.rfind("hc", 0), std::string::npos) << name;
  if (r.status != 1) {
    EXPECT_TRUE(r.status == 0 || r.status == 128 + SIGTERM) << r.status << r.output;
    return;
  }
  EXPECT_NE(r.output.find("cancelled"), std::string::npos) << r.output;
  EXPECT_TRUE(Names(dir / "out").empty());
}

TEST(ConversionEndToEnd, DamagedBoxIsSkippedToTheNextKeyFrameAndReported) {
  REQUIRE_PEERS();
  TempDir dir;
  const nlohmann::json card = WriteCard(dir, "--recordings 1 --blocks 9");
  const nlohmann::json& rec = card["recordings"][0];
  const int first = rec["first_block"].get<int>();
  // Break the size of the first box that starts in the fourth block of the recording.
  const std::string part = dir / "card/hcpt0000.hcf";
  const uint64_t at = uint64_t(first + 3) * 256 * 512;
  ASSERT_GT(std::filesystem::file_size(part), at + 256 * 512);
  {
    std::fstream f(part, std::ios::in | std::ios::out | std::ios::binary);
    std::vector<char> block(255 * 512);
    f.seekg(std::streamoff(at));
    f.read(block.data(), std::streamsize(block.size()));
    size_t magic = 8;
    while (magic + 4 <= block.size() && std::memcmp(&block[magic], "qbox", 4) != 0) magic += 4;
    ASSERT_LT(magic + 4, block.size());
    f.seekp(std::streamoff(at + magic - 4));
    f.put(0x7F);
  }
  std::filesystem::create_directory(dir / "out");
  // The command's output holds stdout and stderr together.
  const auto r = RunCommand(std::string(KORVAN_CLI_PATH) + " convert " + Quote(dir / "card") +
                            " " + Quote(dir / "out"));
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("damaged stream, sectors"), std::string::npos) << r.output;
  std::vector<std::string> written;
  for (const std::string& line : Lines(r.output))
    if (line.size() > 4 && line.compare(line.size() - 4, 4, ".mp4") == 0) written.push_back(line);
  ASSERT_EQ(written.size(), 1u) << r.output;
  const std::string mp4 = written[0];
  const Probe p = ProbeFile(mp4);
  const int total = rec["video_frames"].get<int>();
  // Without the resync the file ended at the damage, a third of the way in.
  EXPECT_GT(p.video, total * 2 / 3) << "of " << total;
  EXPECT_LT(p.video, total);
  ExpectDecodes(mp4);
  const auto verify = RunCommand(std::string(KORVAN_CLI_PATH) + " verify " + Quote(mp4) + " --json");
  EXPECT_EQ(verify.status, 0) << verify.output;
  const nlohmann::json v = nlohmann::json::parse(verify.output, nullptr, false);
  ASSERT_TRUE(v.contains("gaps")) << verify.output;
  ASSERT_EQ(v["gaps"].size(), 1u) << verify.output;
  EXPECT_EQ(v["gaps"][0]["fromSector"].get<int64_t>() / 256, first + 3);
  EXPECT_GT(v["gaps"][0]["toSector"].get<int64_t>(), v["gaps"][0]["fromSector"].get<int64_t>());
}

TEST(ConversionEndToEnd, PicturesBeforeTheFirstIdrTakeTheirAudioWithThem) {
  REQUIRE_PEERS();
  TempDir dir;
  const nlohmann::json card = WriteCard(dir, "--recordings 1 --blocks 6");
  const nlohmann::json& rec = card["recordings"][0];
  const int first = rec["first_block"].get<int>();
  // The record's data sectors of its first two blocks as one stream, to find the first
  // key-frame box and turn its IDR picture into a plain one (NAL type 5 -> 1).
  const std::string part = dir / "card/hcpt0000.hcf";
  std::fstream f(part, std::ios::in | std::ios::out | std::ios::binary);
  const auto fileOffset = [&](size_t s) {
    return std::streamoff(uint64_t(first) * 256 * 512 + (s / (255 * 512)) * 256 * 512 +
                          s % (255 * 512));
  };
  std::vector<uint8_t> stream(2 * 255 * 512);
  for (size_t s = 0; s < stream.size(); s += 512) {
    f.seekg(fileOffset(s));
    f.read(reinterpret_cast<char*>(&stream[s]), 512);
  }
  size_t box = 0;
  for (; box + 32 < stream.size(); box += 4) {
    if (std::memcmp(&stream[box + 4], "qbox", 4) != 0) continue;
    if ((stream[box + 13] & 2) && (stream[box + 19] & 4)) break;  // video key frame
  }
  ASSERT_LT(box + 32, stream.size());
  size_t at = box + ((stream[box + 11] & 1) ? 24 : 32) + ((stream[box + 19] & 0x40) ? 16 : 0);
  while ((stream[at + 4] & 0x1F) != 5) {
    at += 4 + ((size_t(stream[at]) << 24) | (size_t(stream[at + 1]) << 16) |
               (size_t(stream[at + 2]) << 8) | stream[at + 3]);
    ASSERT_LT(at + 5, stream.size());
  }
  f.seekp(fileOffset(at + 4));
  f.put(char((stream[at + 4] & 0xE0) | 1));
  f.close();

  std::filesystem::create_directory(dir / "out");
  const auto r = RunCommand(std::string(KORVAN_CLI_PATH) + " convert " + Quote(dir / "card") +
                            " " + Quote(dir / "out") + " 2>/dev/null");
  ASSERT_EQ(r.status, 0) << r.output;
  ASSERT_EQ(Lines(r.output).size(), 1u);
  const Probe p = ProbeFile(Lines(r.output)[0]);
  EXPECT_LT(p.video, rec["video_frames"].get<int>()) << "the first group of pictures is dropped";
  EXPECT_LT(p.audio, rec["audio_frames"].get<int>()) << "and so is its audio";
  const double videoSeconds = p.video / 25.0;
  const double audioSeconds = p.audio * 1024.0 / 48000.0;  // the simulator records at 48 kHz
  EXPECT_NEAR(audioSeconds, videoSeconds, 0.1);
  ExpectDecodes(Lines(r.output)[0]);
}
