// Conversion benchmark: one simulated 720x576, 25 fps recording with about MIB MiB of
// elementary streams (default 500), read from the page cache. Times, in the same run:
//   - our whole conversion: ring -> elementary streams -> muxer -> post-processor with CRCs;
//   - `ffmpeg -f h264 -framerate 25 -i v.264 -i a.aac -c copy out.mp4` on the simulator's
//     copy of the same two elementary streams;
//   - `cat` of the partition files;
// and prints the peak resident memory of this process (our conversion) and of ffmpeg.
//
// Usage: convert_bench [WORK_DIR] [MIB]. The card is written to WORK_DIR/card (kept and reused
// when it exists, by a forked child so that the encoders' memory does not count).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "card/card_medium.h"
#include "cardsim/card_writer.h"
#include "convert/movieconvth.h"
#include "records/scan_whole_ring.h"

namespace fs = std::filesystem;

namespace {

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double CpuSeconds(int who) {
  rusage u{};
  getrusage(who, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double PeakMiB(int who) {
  rusage u{};
  getrusage(who, &u);
  return double(u.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB on Linux
}

uint64_t FolderBytes(const fs::path& dir, const std::string& prefix) {
  uint64_t total = 0;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().filename().string().rfind(prefix, 0) == 0) total += e.file_size();
  return total;
}

// Writes the card in a child process; false when that failed.
bool MakeCard(const fs::path& card, const fs::path& es, double mib) {
  const pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    cardsim::Scenario s;
    s.width = 720;
    s.height = 576;
    s.quality = 0;  // the simulator's highest rate, about 2.2 Mbit/s with audio
    const double seconds = mib * 1048576.0 * 8.0 / 2.25e6;
    const uint64_t file = 160ull << 20;
    const uint64_t files = uint64_t(mib * 1.25 * 1048576.0 / double(file)) + 1;
    s.partition_file_bytes.assign(files, file);
    cardsim::RecordingSpec r;
    r.duration_s = seconds;
    s.recordings.push_back(r);
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

double TimeCommand(const std::string& command) {
  const double t = Now();
  const int rc = std::system(command.c_str());
  const double elapsed = Now() - t;
  if (rc != 0) std::fprintf(stderr, "command failed (%d): %s\n", rc, command.c_str());
  return elapsed;
}

// Our conversion of the card's one recording into out/; returns seconds, or -1.
double TimeOurs(const fs::path& card, const fs::path& out) {
  platform::NullNoticeSink notices;
  card::CardMedium medium(notices);
  if (!medium.OpenMedium(card.string()) || !medium.regionReader()) return -1;
  const records::WholeRingScan scan =
      records::ScanWholeRing(*medium.regionReader(), records::ScanRingOf(medium));
  if (scan.records.size() != 1) return -1;
  const records::TRecord rec = scan.records[0];
  convert::ConversionRequest q;
  q.convStart = rec.bss_index * 256;
  q.convBaseName = "ours";
  q.outputDir = out.string() + "/";
  const double t = Now();
  convert::TMovieConvTh worker(*medium.regionReader(), rec, q, notices);
  worker.start();
  while (!worker.done && !worker.failed) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  const double elapsed = Now() - t;
  if (worker.failed) std::fprintf(stderr, "conversion failed: %d\n", worker.errorCode.load());
  return worker.failed ? -1 : elapsed;
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path work = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "korvan-convert-bench";
  const double mib = argc > 2 ? std::atof(argv[2]) : 500.0;
  const fs::path card = work / "card", es = work / "es", out = work / "out";
  fs::create_directories(work);
  if (!fs::exists(card / "hcpt0000.hcf") || !fs::exists(es / "rec00.264")) {
    std::printf("writing the card (%.0f MiB of elementary streams) ...\n", mib);
    std::fflush(stdout);
    if (!MakeCard(card, es, mib)) return 1;
  }
  fs::remove_all(out);
  fs::create_directories(out);
  const std::string v = (es / "rec00.264").string(), a = (es / "rec00.aac").string();
  const double esMiB = double(fs::file_size(v) + fs::file_size(a)) / 1048576.0;
  const double cardMiB = double(FolderBytes(card, "hcpt")) / 1048576.0;

  const std::string cat = "cat " + (card / "hcpt*.hcf").string() + " > /dev/null";
  TimeCommand(cat + " && cat " + v + " " + a + " > /dev/null");  // into the page cache
  const double tCat = TimeCommand(cat);
  const double cpuBefore = CpuSeconds(RUSAGE_SELF);
  const double tOurs = TimeOurs(card, out);
  const double cpuOurs = CpuSeconds(RUSAGE_SELF) - cpuBefore;
  const double oursPeak = PeakMiB(RUSAGE_SELF);
  const double childCpuBefore = CpuSeconds(RUSAGE_CHILDREN);
  const double tFfmpeg = TimeCommand("ffmpeg -nostdin -v error -y -f h264 -framerate 25 -i " + v +
                                     " -i " + a + " -c copy " + (out / "ffmpeg.mp4").string());
  const double cpuFfmpeg = CpuSeconds(RUSAGE_CHILDREN) - childCpuBefore;
  const double ffmpegPeak = PeakMiB(RUSAGE_CHILDREN);
  if (tOurs < 0) return 1;

  std::printf("elementary streams: %.1f MiB; partition files: %.1f MiB\n", esMiB, cardMiB);
  std::printf("cat of the partition files:  %7.2f s  %7.0f MiB/s\n", tCat, cardMiB / tCat);
  std::printf("our conversion (all steps):  %7.2f s  %7.0f MiB/s of streams\n", tOurs,
              esMiB / tOurs);
  std::printf("ffmpeg -c copy remux alone:  %7.2f s  %7.0f MiB/s of streams\n", tFfmpeg,
              esMiB / tFfmpeg);
  std::printf("ours / ffmpeg: %.2f wall, %.2f CPU (ours %.2f s CPU, ffmpeg %.2f s CPU)\n",
              tOurs / tFfmpeg, cpuOurs / cpuFfmpeg, cpuOurs, cpuFfmpeg);
  std::printf("peak memory: ours %.1f MiB (whole process), ffmpeg %.1f MiB\n", oursPeak,
              ffmpegPeak);
  fs::remove_all(out);
  return 0;
}
