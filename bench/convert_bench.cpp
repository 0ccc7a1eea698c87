// Conversion benchmark on a recorder-like card: one 720x576, 25 fps recording in High profile
// at 6 Mbit/s with 32 kHz AAC (about MIB MiB of elementary streams, default 228) in 1 GiB
// partition files, read from the page cache. Each round times, one after the other:
//   - `cat` of the recording's span of the partition files into a file;
//   - our whole conversion (ring -> .mp4 in one pass -> integrity record), as the CLI runs it;
//   - `ffmpeg -f h264 -framerate 25 -i v.264 -i a.aac -c copy out.mp4` on the simulator's copy
//     of the same two elementary streams;
// then prints medians and spreads, the bytes each read and wrote, and peak memory. Last, the
// time for 200 short recordings converted in a row (no idle waits between them).
//
// Usage: convert_bench [WORK_DIR] [MIB] [ROUNDS]. Cards are written to WORK_DIR (kept and
// reused), by a forked child so that the encoders' memory does not count.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "card/card_medium.h"
#include "cardsim/card_writer.h"
#include "convert/movieconvth.h"
#include "convert/mp4_muxer.h"
#include "records/record_line.h"
#include "records/scan_whole_ring.h"

namespace fs = std::filesystem;

namespace {

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double PeakMiB(int who) {
  rusage u{};
  getrusage(who, &u);
  return double(u.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB on Linux
}

// rchar and wchar of this process: bytes passed through read and write calls.
std::pair<uint64_t, uint64_t> IoBytes() {
  std::ifstream in("/proc/self/io");
  uint64_t r = 0, w = 0;
  for (std::string key; in >> key;) {
    uint64_t v = 0;
    in >> v;
    if (key == "rchar:") r = v;
    if (key == "wchar:") w = v;
  }
  return {r, w};
}

// Writes a card in a child process; false when that failed.
bool MakeCard(const fs::path& card, const fs::path& es, const cardsim::Scenario& s) {
  const pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    cardsim::WriteOptions o;
    o.es_dump_dir = es.string();
    fs::create_directories(es);
    const cardsim::CardResult result = cardsim::WriteCardToFolder(s, card.string(), o);
    if (!result.ok) std::fprintf(stderr, "card: %s\n", result.error.c_str());
    std::_Exit(result.ok ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

cardsim::Scenario RecorderLike(double mib) {
  cardsim::Scenario s;
  s.width = 720;
  s.height = 576;
  s.video_bit_rate = 6000000;
  s.high_profile = true;
  s.sample_rate = 32000;
  cardsim::RecordingSpec r;
  r.duration_s = mib * 1048576.0 * 8.0 / 6.05e6;
  s.recordings.push_back(r);
  const uint64_t file = 1ull << 30;
  s.partition_file_bytes.assign(uint64_t(mib * 1.2 * 1048576.0 / double(file)) + 1, file);
  return s;
}

cardsim::Scenario ShortRecordings(int count) {
  cardsim::Scenario s;
  s.width = 352;
  s.height = 288;
  for (int i = 0; i < count; ++i) {
    cardsim::RecordingSpec r;
    r.duration_s = 1;
    s.recordings.push_back(r);
  }
  s.partition_file_bytes.assign(2, 64ull << 20);
  return s;
}

double TimeCommand(const std::string& command) {
  const double t = Now();
  const int rc = std::system(command.c_str());
  if (rc != 0) std::fprintf(stderr, "command failed (%d): %s\n", rc, command.c_str());
  return Now() - t;
}

struct Card {
  platform::NullNoticeSink notices;
  card::CardMedium medium{notices};
  std::vector<records::TRecord> records;
  bool Open(const fs::path& path) {
    if (!medium.OpenMedium(path.string()) || !medium.regionReader()) return false;
    records = records::ScanWholeRing(*medium.regionReader(), records::ScanRingOf(medium))
                  .records;
    return true;
  }
};

// Converts recording `index` into out/ as the command line does (or, `throughFiles`, through
// temporary elementary-stream files and process()); false on failure.
bool ConvertOne(Card& card, size_t index, const fs::path& out, const std::string& name,
                bool throughFiles = false) {
  const records::TRecord& rec = card.records[index];
  convert::ConversionRequest q;
  q.convStart = rec.bss_index * 256;
  q.convBaseName = name;
  q.outputDir = out.string() + "/";
  convert::TMovieConvTh worker(*card.medium.regionReader(), rec, q, card.notices);
  worker.set_idle_priority(false);
  if (throughFiles) worker.set_muxer(process);
  worker.start();
  while (!worker.wait_finished(std::chrono::seconds(10))) {
  }
  const bool ok = worker.done;
  if (!ok) std::fprintf(stderr, "conversion failed: %d\n", worker.errorCode.load());
  worker.request_terminate();
  worker.join();
  return ok;
}

struct Spread {
  double median, min, max;
};

Spread Summarise(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return {v[v.size() / 2], v.front(), v.back()};
}

void PrintRow(const char* what, const Spread& s, double mib) {
  std::printf("%-36s median %6.2f s (%.2f-%.2f)  %6.0f MiB/s\n", what, s.median, s.min, s.max,
              mib / s.median);
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path work =
      argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "korvan-convert-bench";
  const double mib = argc > 2 ? std::atof(argv[2]) : 228.0;
  const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
  const fs::path card = work / "card", es = work / "es", out = work / "out";
  fs::create_directories(work);
  if (!fs::exists(card / "hcpt0000.hcf") || !fs::exists(es / "rec00.264")) {
    std::printf("writing the card (%.0f MiB of elementary streams) ...\n", mib);
    std::fflush(stdout);
    if (!MakeCard(card, es, RecorderLike(mib))) return 1;
  }
  Card open;
  if (!open.Open(card) || open.records.size() != 1) return 1;
  const std::string v = (es / "rec00.264").string(), a = (es / "rec00.aac").string();
  const double esMiB = double(fs::file_size(v) + fs::file_size(a)) / 1048576.0;
  const uint64_t spanBytes = uint64_t(records::RecordBlocks(open.records[0])) * 256 * 512;
  const uint64_t spanStart = uint64_t(open.records[0].bss_index) * 256 * 512;
  const double spanMiB = double(spanBytes) / 1048576.0;
  const std::string catCommand = "tail -c +" + std::to_string(spanStart + 1) + " " +
                                 (card / "hcpt0000.hcf").string() + " | head -c " +
                                 std::to_string(spanBytes) + " > " + (out / "cat.bin").string();
  TimeCommand("cat " + (card / "hcpt*.hcf").string() + " " + v + " " + a + " > /dev/null");

  std::vector<double> tCat, tOurs, tFfmpeg, tFiles;
  uint64_t oursRead = 0, oursWritten = 0, mp4Bytes = 0, ffmpegBytes = 0;
  double oursPeak = 0;
  for (int r = 0; r < rounds; ++r) {
    fs::remove_all(out);
    fs::create_directories(out);
    tCat.push_back(TimeCommand(catCommand));
    const auto [r0, w0] = IoBytes();
    const double t = Now();
    if (!ConvertOne(open, 0, out, "ours")) return 1;
    tOurs.push_back(Now() - t);
    if (r == 0) oursPeak = PeakMiB(RUSAGE_SELF);  // before the temporary-file path runs
    const auto [r1, w1] = IoBytes();
    oursRead = r1 - r0;
    oursWritten = w1 - w0;
    mp4Bytes = fs::file_size(out / "ours.mp4");
    tFfmpeg.push_back(TimeCommand("ffmpeg -nostdin -v error -y -f h264 -framerate 25 -i " + v +
                                  " -i " + a + " -c copy " + (out / "ffmpeg.mp4").string()));
    ffmpegBytes = fs::file_size(out / "ffmpeg.mp4");
    const double tf = Now();
    if (!ConvertOne(open, 0, out, "files", true)) return 1;
    tFiles.push_back(Now() - tf);
  }
  const double ffmpegPeak = PeakMiB(RUSAGE_CHILDREN);
  const Spread cat = Summarise(tCat), ours = Summarise(tOurs), ffmpeg = Summarise(tFfmpeg);

  std::printf("elementary streams %.1f MiB; recording span of the partition files %.1f MiB; "
              "%d rounds\n", esMiB, spanMiB, rounds);
  PrintRow("cat of the span into a file:", cat, spanMiB);
  PrintRow("our conversion (ring -> sealed mp4):", ours, esMiB);
  PrintRow("ffmpeg -c copy of the streams:", ffmpeg, esMiB);
  PrintRow("through temporary files + muxer:", Summarise(tFiles), esMiB);
  std::printf("ours / ffmpeg %.2f (goal <= 0.5), ours / cat %.2f (goal <= 1.0)\n",
              ours.median / ffmpeg.median, ours.median / cat.median);
  std::printf("ours: read %.1f MiB, wrote %.1f MiB (mp4 %.1f MiB); ffmpeg: read %.1f MiB, "
              "wrote %.1f MiB\n", double(oursRead) / 1048576.0, double(oursWritten) / 1048576.0,
              double(mp4Bytes) / 1048576.0, esMiB, double(ffmpegBytes) / 1048576.0);
  std::printf("peak memory: ours %.1f MiB (whole process, goal < 64), ffmpeg %.1f MiB\n",
              oursPeak, ffmpegPeak);

  const fs::path shortCard = work / "short-card", shortOut = work / "short-out";
  if (!fs::exists(shortCard / "hcpt0000.hcf") &&
      !MakeCard(shortCard, work / "short-es", ShortRecordings(200)))
    return 1;
  Card shorts;
  if (!shorts.Open(shortCard)) return 1;
  fs::remove_all(shortOut);
  fs::create_directories(shortOut);
  const double t = Now();
  for (size_t i = 0; i < shorts.records.size(); ++i)
    if (!ConvertOne(shorts, i, shortOut, "rec" + std::to_string(i))) return 1;
  const double tShort = Now() - t;
  std::printf("%zu short recordings in a row: %.2f s (%.1f ms each)\n", shorts.records.size(),
              tShort, 1000.0 * tShort / double(std::max<size_t>(1, shorts.records.size())));
  fs::remove_all(out);
  fs::remove_all(shortOut);
  return 0;
}
