#include "convert/movieconvth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "convert/qbox_builder.h"
#include "support/temp_dir.h"

using namespace convert;
using namespace convert::qbox;
using testsupport::Bytes;
using testsupport::MakeBox;
using testsupport::MemoryRegion;

namespace {

// A sample as the test laid it out: 'K' key frame, 'D' other picture, 'A' audio frame,
// 'S'/'P' the parameter sets of a configuration box (index = block the pair came from).
struct Unit {
  char kind;
  int index;
  bool operator==(const Unit&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Unit& u) { return os << u.kind << u.index; }

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// Splits an H.264 byte stream at its 00 00 00 01 start codes.
std::vector<Unit> VideoUnits(const Bytes& es) {
  std::vector<Unit> units;
  for (size_t i = 0; i + 5 < es.size(); ++i) {
    if (es[i] || es[i + 1] || es[i + 2] || es[i + 3] != 1) continue;
    const uint8_t tag = es[i + 4];
    const char kind = tag == 0x65 ? 'K' : tag == 0x41 ? 'D' : tag == 0x67 ? 'S' : 'P';
    units.push_back({kind, es[i + 5]});
  }
  return units;
}

// Walks ADTS frames by their length fields.
std::vector<Unit> AudioUnits(const Bytes& es) {
  std::vector<Unit> units;
  for (size_t i = 0; i + 10 <= es.size();) {
    EXPECT_EQ(es[i], 0xFF);
    const size_t len = ((es[i + 3] & 3) << 11) | (es[i + 4] << 3) | (es[i + 5] >> 5);
    units.push_back({'A', es[i + 9]});
    if (len < 7) break;
    i += len;
  }
  return units;
}

// Sample indices are stored in one byte.
int Idx(int i) { return i & 0xFF; }

// Forwards reads and calls `hook` on the n-th one.
class HookedRegion final : public card::RegionReader {
 public:
  HookedRegion(card::RegionReader& inner, uint64_t n) : inner_(inner), n_(n) {}
  const card::RegionGeometry& geometry() const override { return inner_.geometry(); }
  card::RegionReadResult read_sector(uint32_t s, base::Sector& out) override {
    if (++count_ == n_ && hook) hook();
    return inner_.read_sector(s, out);
  }
  void close() override { inner_.close(); }
  uint64_t reads() const override { return count_; }
  void reset_reads() override { count_ = 0; }
  std::function<void()> hook;

 private:
  card::RegionReader& inner_;
  uint64_t n_;
  uint64_t count_ = 0;
};

struct Part {
  std::vector<Unit> video, audio;
  std::string mp4;
};

// Lays a recording into a MemoryRegion box by box and runs conversions of it.
class Recording {
 public:
  Recording(uint32_t sectors, uint32_t firstBlock, uint32_t blocks)
      : region(sectors), layout(region, firstBlock * 256), first(firstBlock) {
    const uint32_t n = sectors / 256;
    for (uint32_t b = 0; b < n; ++b) {
      const uint8_t id = uint8_t(b);
      testsupport::PutConfiguration(region, b, testsupport::VideoConfigBox({0x67, id}, {0x68, id}),
                                    testsupport::AudioConfigBox(48000, 2));
    }
    last = (firstBlock + blocks - 1) % n;
  }

  void Key(int i, size_t n = 300) { Video(0x65, kSampleKeyFrame, i, n); }
  // Appends a picture and then breaks the magic of its box; returns the box's sector.
  uint32_t DamagedDelta(int i, size_t n = 300) {
    const uint32_t sector = layout.sector(), offset = layout.offset();
    Delta(i, n);
    region.sector(sector)[offset] = 0x7F;  // boxSize far above the limit
    return sector;
  }
  // The 24-byte box that ends the stream.
  void EndBox() { layout.AppendBox(MakeBox({kStreamVideo, 0, {}})); }
  void Delta(int i, size_t n = 300) { Video(0x41, 0, i, n); }
  void Audio(int i, size_t n = 60) {
    Bytes frame = {0xAF, 0, uint8_t(i)};
    Bytes f = testsupport::Filler(n, uint8_t(i));
    frame.insert(frame.end(), f.begin(), f.end());
    layout.AppendBox(MakeBox({kStreamAudio, 0, frame}));
  }
  // A group of pictures: key frame, audio, then pictures and audio alternating.
  void Gop(int& i, int pictures, size_t n = 300) {
    Key(i++, n);
    for (int p = 1; p < pictures; ++p) {
      Audio(i++);
      Delta(i++, n);
    }
  }

  records::TRecord Record() const {
    records::TRecord r;
    r.bss_index = int32_t(first);
    r.ess_index = int32_t(last);
    return r;
  }

  ConversionRequest Request(const testsupport::TempDir& dir) const {
    ConversionRequest q;
    q.convStart = int32_t(first * 256);
    q.convBaseName = "2024-05-06_07-08-09";
    q.outputDir = dir.path().string() + "/";
    return q;
  }

  // Runs the worker to its end with a muxer that keeps what it was given.
  std::vector<Part> Run(ConversionRequest q, int64_t limit = kSplitLimit,
                        std::function<void(TMovieConvTh&)> setup = {},
                        card::RegionReader* via = nullptr) {
    std::vector<Part> parts;
    platform::NullNoticeSink sink;
    TMovieConvTh worker(via ? *via : region, Record(), std::move(q), sink, limit, format);
    worker.set_muxer([&](const char* v, const char* a, const char* mp4) {
      parts.push_back({VideoUnits(ReadFile(v)), AudioUnits(ReadFile(a)), mp4});
      std::ofstream(mp4, std::ios::binary) << std::string("\0\0\0\x08" "free", 8);  // one empty box
      return muxResult;
    });
    if (setup) setup(worker);
    worker.start();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!worker.done && !worker.failed && !worker.ended() &&
           std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    done = worker.done;
    failed = worker.failed;
    gaps = worker.gaps();
    errorCode = worker.errorCode;
    progress = worker.progress;
    return parts;
  }

  MemoryRegion region;
  testsupport::StreamLayout layout;
  uint32_t first, last;
  AudioFormat format;
  int muxResult = 0;
  bool done = false, failed = false;
  int errorCode = 0, progress = 0;
  std::vector<StreamGap> gaps;

 private:
  void Video(uint8_t tag, uint32_t flags, int i, size_t n) {
    Bytes unit = {tag, uint8_t(i)};  // the index byte cannot start a 00 00 00 01 run: i > 0
    Bytes f = testsupport::Filler(n, uint8_t(i + 1));
    unit.insert(unit.end(), f.begin(), f.end());
    layout.AppendBox(MakeBox({kStreamVideo, flags, testsupport::NalPayload({unit})}));
  }
};

std::vector<std::string> Names(const testsupport::TempDir& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir.path()))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

TEST(MovieConversion, WholeRecordStartsWithTheBoxBeforeTheFirstKeyFrame) {
  testsupport::TempDir dir;
  Recording rec(2048, 1, 2);
  int i = 1;
  rec.Audio(i++);
  rec.Delta(i++);  // a picture before any key frame is skipped
  rec.Audio(i++);
  rec.Gop(i, 3);
  rec.Gop(i, 3);
  const auto parts = rec.Run(rec.Request(dir));
  ASSERT_TRUE(rec.done) << rec.errorCode;
  EXPECT_EQ(rec.progress, 100);
  ASSERT_EQ(parts.size(), 1u);
  const std::vector<Unit> video = {{'S', 1}, {'P', 1}, {'K', 4}, {'D', 6}, {'D', 8},
                                   {'K', 9}, {'D', 11}, {'D', 13}};
  EXPECT_EQ(parts[0].video, video);
  const std::vector<Unit> audio = {{'A', 3}, {'A', 5}, {'A', 7}, {'A', 10}, {'A', 12}};
  EXPECT_EQ(parts[0].audio, audio);
  EXPECT_EQ(Names(dir), std::vector<std::string>{"2024-05-06_07-08-09.mp4"});
}

TEST(MovieConversion, KeyFrameWithNothingBeforeItStartsThePart) {
  testsupport::TempDir dir;
  Recording rec(8192, 0, 1);  // zeros behind block 0 for more than one maximal box
  int i = 1;
  rec.Gop(i, 2);
  const auto parts = rec.Run(rec.Request(dir));
  ASSERT_TRUE(rec.done) << rec.errorCode;
  ASSERT_EQ(parts.size(), 1u);
  EXPECT_EQ(parts[0].video, (std::vector<Unit>{{'S', 0}, {'P', 0}, {'K', 1}, {'D', 3}}));
}

TEST(MovieConversion, ConfigurationComesFromTheBlockOfTheFirstKeyFrame) {
  testsupport::TempDir dir;
  Recording rec(2048, 1, 3);
  int i = 1;
  while (rec.layout.sector() < 2 * 256 + 40) rec.Delta(i++, 400);
  rec.Audio(i++);
  const int key = i;
  rec.Gop(i, 3);
  ConversionRequest q = rec.Request(dir);
  q.convStart = 2 * 256 + 3;  // an arbitrary sector inside a picture
  const auto parts = rec.Run(q);
  ASSERT_TRUE(rec.done) << rec.errorCode;
  ASSERT_EQ(parts.size(), 1u);
  ASSERT_GE(parts[0].video.size(), 3u);
  EXPECT_EQ(parts[0].video[0], (Unit{'S', 2}));
  EXPECT_EQ(parts[0].video[2], (Unit{'K', Idx(key)}));
}

TEST(MovieConversion, RecordEndingInTheLastBlockStopsThereInsteadOfReadingOn) {
  testsupport::TempDir dir;
  Recording rec(2048, 6, 2);  // blocks 6 and 7, the last of the region
  int i = 1;
  rec.Audio(i++);
  while (rec.layout.sector() >= 6 * 256) rec.Gop(i, 3, 3000);
  // The stream continues into block 0 with an older recording's valid boxes.
  const int recordEnd = i;
  ASSERT_LT(i + 10, 256);
  rec.Gop(i, 3);
  const auto parts = rec.Run(rec.Request(dir));
  ASSERT_TRUE(rec.done) << rec.errorCode;
  ASSERT_EQ(parts.size(), 1u);
  for (const Unit& u : parts[0].video)
    EXPECT_TRUE(u.kind == 'S' || u.kind == 'P' || u.index <= recordEnd) << u;
}

TEST(MovieConversion, RangeStopsAfterTheBoxThatReachedTheRangeEnd) {
  testsupport::TempDir dir;
  Recording rec(2048, 1, 3);
  const int32_t rangeEnd = 256 + 30;
  int lastInRange = 0;
  rec.Audio(1);
  for (int i = 2; i < 120; ++i) {
    if (i % 7 == 2) rec.Key(i, 400);
    else if (i % 2) rec.Audio(i);
    else rec.Delta(i, 400);
    if (!lastInRange && int32_t(rec.layout.sector()) >= rangeEnd) lastInRange = i;
  }
  ConversionRequest q = rec.Request(dir);
  q.convEnd = rangeEnd;
  q.convBaseName = "range_001";
  const auto parts = rec.Run(q);
  ASSERT_TRUE(rec.done) << rec.errorCode;
  ASSERT_EQ(parts.size(), 1u);
  const int lastVideo = parts[0].video.back().index, lastAudio = parts[0].audio.back().index;
  EXPECT_EQ(std::max(lastVideo, lastAudio), lastInRange);
  EXPECT_EQ(Names(dir), std::vector<std::string>{"range_001.mp4"});
}

TEST(MovieConversion, SplitsAtKeyFramesWithOneBoxOverlapAndFreeNumbers) {
  testsupport::TempDir dir;
  std::ofstream(dir / "2024-05-06_07-08-09_part01.mp4") << "older";
  Recording rec(4096, 1, 12);
  int i = 1;
  rec.Audio(i++);
  for (int g = 0; g < 40; ++g) rec.Gop(i, 6, 2000);
  const auto parts = rec.Run(rec.Request(dir), 100000);
  ASSERT_TRUE(rec.done) << rec.errorCode;
  ASSERT_GE(parts.size(), 3u);
  for (size_t p = 0; p < parts.size(); ++p) {
    char name[64];
    std::snprintf(name, sizeof name, "2024-05-06_07-08-09_part%02zu.mp4", p + 2);
    EXPECT_EQ(std::filesystem::path(parts[p].mp4).filename(), name);
    ASSERT_GE(parts[p].video.size(), 4u);
    if (p == 0) {
      EXPECT_EQ(parts[p].video[2].kind, 'K');
      continue;
    }
    // The picture before the part's first key frame also closed the previous part.
    EXPECT_EQ(parts[p].video[2], parts[p - 1].video.back()) << "part " << p;
    EXPECT_EQ(parts[p].video[3].kind, 'K') << "part " << p;
  }
  EXPECT_EQ(parts.back().video.back(), (Unit{'D', Idx(i - 1)}));
  EXPECT_EQ(Names(dir).size(), parts.size() + 1) << "no temporary file is left";
}

TEST(MovieConversion, NoSplitPartIsMadeFromDataPastTheRecordEnd) {
  testsupport::TempDir dir;
  Recording rec(4096, 1, 2);  // blocks 1 and 2
  int i = 1;
  rec.Audio(i++);
  rec.Gop(i, 60, 4500);  // one group of pictures running past the end of block 2
  ASSERT_GT(rec.layout.sector(), 3u * 256);
  const int recordEnd = i;
  rec.Gop(i, 5);  // the next recording's first key frame lies outside the range
  const auto parts = rec.Run(rec.Request(dir), 100000);
  ASSERT_TRUE(rec.done) << rec.errorCode;
  ASSERT_EQ(parts.size(), 1u);
  EXPECT_LT(parts[0].video.back().index, recordEnd);
}

TEST(MovieConversion, CancelWhileReadingLeavesNoFiles) {
  testsupport::TempDir dir;
  Recording rec(4096, 1, 12);
  int i = 1;
  rec.Audio(i++);
  for (int g = 0; g < 40; ++g) rec.Gop(i, 6, 2000);
  HookedRegion cancelling(rec.region, 200);
  const auto parts = rec.Run(
      rec.Request(dir), kSplitLimit,
      [&](TMovieConvTh& w) { cancelling.hook = [&w] { w.request_terminate(); }; }, &cancelling);
  EXPECT_FALSE(rec.done);
  EXPECT_FALSE(rec.failed);
  EXPECT_TRUE(parts.empty());
  EXPECT_TRUE(Names(dir).empty());
}

TEST(MovieConversion, ErrorsAreReportedWithTheirCodesAndLeaveNoFiles) {
  struct Case {
    const char* what;
    int code;
    std::function<void(Recording&, ConversionRequest&)> damage;
  };
  const std::vector<Case> cases = {
      {"unreadable data sector", 1524, [](Recording& r, ConversionRequest&) { r.region.fail_sector(300); }},
      {"unreadable information sector", 9834,
       [](Recording& r, ConversionRequest&) { r.region.fail_sector(511); }},
      {"no key frame before the range end", 1021,
       [](Recording&, ConversionRequest& q) { q.convStart = 3 * 256 + 10; q.convEnd = 3 * 256 + 200; }},
      {"muxer failure", 31, [](Recording& r, ConversionRequest&) { r.muxResult = 31; }},
      {"path too long", 2259,
       [](Recording&, ConversionRequest& q) { q.convBaseName = std::string(250, 'n'); }},
      {"box of an unknown stream type", 8734,
       [](Recording& r, ConversionRequest&) { r.layout.AppendBox(MakeBox({0x10, 0, {1, 2}})); }},
  };
  for (const Case& c : cases) {
    testsupport::TempDir dir;
    Recording rec(2048, 1, 2);
    int i = 1;
    rec.Audio(i++);
    for (int g = 0; g < 10; ++g) rec.Gop(i, 3, 3000);
    ConversionRequest q = rec.Request(dir);
    c.damage(rec, q);
    rec.Run(q);
    EXPECT_TRUE(rec.failed) << c.what;
    EXPECT_EQ(rec.errorCode, c.code) << c.what;
    for (const std::string& name : Names(dir))
      EXPECT_EQ(name.find("hc"), std::string::npos) << c.what << ": " << name;
  }
}

TEST(MovieConversion, CardWithoutPartitionFilesIs8100) {
  testsupport::TempDir dir;
  MemoryRegion empty(0, 256);
  platform::NullNoticeSink sink;
  TMovieConvTh worker(empty, records::TRecord{}, ConversionRequest{0, 0, 0, "x", dir.path().string() + "/"},
                      sink);
  worker.start();
  while (!worker.failed && !worker.done) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(worker.errorCode, 8100);
}

TEST(MovieConversion, DamagedBoxResumesAtTheNextKeyFrameAndReportsTheGap) {
  testsupport::TempDir dir;
  Recording rec(2048, 1, 4);  // blocks 1 to 4
  int i = 1;
  rec.Audio(i++);
  while (rec.layout.sector() < 2 * 256) rec.Gop(i, 3, 2000);
  const int lastBefore = i - 1;
  const uint32_t damaged = rec.DamagedDelta(i++, 2000);
  const int lost = i;
  rec.Delta(i++, 2000);
  const int resumed = i;
  while (rec.layout.sector() < 3 * 256 + 100) rec.Gop(i, 3, 2000);
  const int last = i - 1;
  const auto parts = rec.Run(rec.Request(dir));
  ASSERT_TRUE(rec.done) << rec.errorCode;
  ASSERT_EQ(parts.size(), 1u);
  std::vector<int> pictures;
  for (const Unit& u : parts[0].video)
    if (u.kind == 'K' || u.kind == 'D') pictures.push_back(u.index);
  EXPECT_NE(std::find(pictures.begin(), pictures.end(), Idx(lastBefore)), pictures.end());
  EXPECT_EQ(std::find(pictures.begin(), pictures.end(), Idx(lost)), pictures.end());
  EXPECT_NE(std::find(pictures.begin(), pictures.end(), Idx(resumed)), pictures.end());
  EXPECT_EQ(pictures.back(), Idx(last)) << "the rest of the recording is kept";
  ASSERT_EQ(rec.gaps.size(), 1u);
  EXPECT_EQ(rec.gaps[0].fromSector, int32_t(damaged));
  EXPECT_GT(rec.gaps[0].toSector, rec.gaps[0].fromSector);
}

TEST(MovieConversion, DamageInTheLastBlockEndsTheRecordingThere) {
  testsupport::TempDir dir;
  Recording rec(2048, 1, 2);  // blocks 1 and 2
  int i = 1;
  rec.Audio(i++);
  while (rec.layout.sector() < 2 * 256 + 20) rec.Gop(i, 3, 2000);
  const int lastBefore = i - 1;
  rec.DamagedDelta(i++, 2000);
  rec.Gop(i, 3, 2000);  // may be older data: not taken
  const auto parts = rec.Run(rec.Request(dir));
  ASSERT_TRUE(rec.done) << rec.errorCode;
  ASSERT_EQ(parts.size(), 1u);
  EXPECT_EQ(parts[0].video.back().index, Idx(lastBefore));
  EXPECT_TRUE(rec.gaps.empty());
}

TEST(MovieConversion, SplitPointPastTheEndBoxMakesNoPartAndKeepsTheSingleName) {
  testsupport::TempDir dir;
  Recording rec(4096, 1, 6);
  int i = 1;
  rec.Audio(i++);
  // The limit is crossed a few sectors before the end box; the look-ahead starts behind it.
  while (rec.layout.sector() < 256 + 200) rec.Gop(i, 3, 2000);
  const int recordEnd = i;
  rec.Gop(i, 2, 2000);
  rec.EndBox();
  while (rec.layout.sector() < 256 + 400) rec.Gop(i, 3, 2000);  // older data after the end
  const auto parts = rec.Run(rec.Request(dir), 180000);
  ASSERT_TRUE(rec.done) << rec.errorCode;
  ASSERT_EQ(parts.size(), 1u);
  EXPECT_LE(parts[0].video.back().index, Idx(recordEnd + 2));
  EXPECT_EQ(Names(dir), std::vector<std::string>{"2024-05-06_07-08-09.mp4"});
}

TEST(MovieConversion, FailureToSealTheFileFailsTheConversion) {
  testsupport::TempDir dir;
  Recording rec(2048, 1, 2);
  int i = 1;
  rec.Audio(i++);
  for (int g = 0; g < 5; ++g) rec.Gop(i, 3);
  platform::NullNoticeSink sink;
  TMovieConvTh worker(rec.region, rec.Record(), rec.Request(dir), sink, kSplitLimit, rec.format);
  // The "file" the post-processor must open is a folder: nothing can be appended.
  worker.set_muxer([](const char*, const char*, const char* mp4) {
    std::filesystem::create_directory(mp4);
    return 0;
  });
  worker.start();
  ASSERT_TRUE(worker.wait_finished(std::chrono::seconds(20)));
  EXPECT_TRUE(worker.failed);
  EXPECT_FALSE(worker.done);
  EXPECT_EQ(worker.errorCode, 2261);
}

TEST(MovieConversion, WaitingForTheWorkerWakesWhenItFinishes) {
  testsupport::TempDir dir;
  Recording rec(2048, 1, 2);
  int i = 1;
  rec.Audio(i++);
  for (int g = 0; g < 5; ++g) rec.Gop(i, 3);
  platform::NullNoticeSink sink;
  TMovieConvTh worker(rec.region, rec.Record(), rec.Request(dir), sink, kSplitLimit, rec.format);
  std::atomic<int> called{0};
  worker.set_finish_callback([&] { ++called; });
  worker.set_muxer([](const char*, const char*, const char* mp4) {
    std::ofstream(mp4, std::ios::binary) << std::string("\0\0\0\x08" "free", 8);
    return 0;
  });
  worker.set_idle_priority(false);
  worker.start();
  // The timeout is a safety net only: the wait ends when `done` is set.
  ASSERT_TRUE(worker.wait_finished(std::chrono::seconds(20)));
  EXPECT_TRUE(worker.done);
  worker.request_terminate();
  worker.join();
  EXPECT_TRUE(worker.ended());
  EXPECT_EQ(called, 1) << "once, before the worker waited for termination";
}

TEST(MovieConversion, DetachedWorkerEndsByItselfAndDeletesTheCancelledPart) {
  testsupport::TempDir dir;
  Recording rec(2048, 1, 2);
  int i = 1;
  rec.Audio(i++);
  for (int g = 0; g < 5; ++g) rec.Gop(i, 3);
  platform::NullNoticeSink sink;
  auto worker = std::make_shared<TMovieConvTh>(rec.region, rec.Record(), rec.Request(dir), sink,
                                               kSplitLimit, rec.format);
  std::mutex m;
  std::condition_variable cv;
  bool muxing = false, release = false;
  worker->set_muxer([&](const char*, const char*, const char* mp4) {
    std::ofstream(mp4) << "partial";
    std::unique_lock lock(m);
    muxing = true;
    cv.notify_all();
    cv.wait(lock, [&] { return release; });
    return 0;
  });
  std::weak_ptr<TMovieConvTh> alive = worker;
  worker->start(worker);
  {
    std::unique_lock lock(m);
    cv.wait(lock, [&] { return muxing; });
  }
  worker->detach();  // returns at once although the muxer still runs
  worker.reset();
  {
    std::lock_guard lock(m);
    release = true;
  }
  cv.notify_all();
  for (int n = 0; n < 2000 && !alive.expired(); ++n)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_TRUE(alive.expired()) << "the worker ended and freed itself";
  EXPECT_TRUE(Names(dir).empty()) << "the part muxed after the cancel is deleted";
}
