// Muxer benchmark: times `process` on about 455 MB of elementary streams against
// `ffmpeg -f h264 -framerate 25 -i v.264 -i a.aac -c copy out.mp4` on the same input, and
// prints this process's peak RSS after muxing.
//
// Input: a 10-second 704x576 H.264 stream (x264 ultrafast, ~1.9 Mbit/s, a key frame every
// second, no B-frames, noisy test pattern) and a 10-second stereo 48 kHz AAC stream at
// 128 kbit/s, both made with the ffmpeg CLI, then each concatenated 176 times (each copy
// starts with an IDR picture and its SPS/PPS, so the result is one valid 29-minute stream
// with the sample counts of a real recording: ~44,000 pictures, ~82,500 audio frames).
//
// Usage: mux_bench [work-folder]   (default: a new folder under /tmp, removed afterwards)
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "convert/mp4_muxer.h"

namespace {

constexpr int kRepeats = 176;

bool Run(const std::string& command) { return std::system(command.c_str()) == 0; }

// Appends `source` to `target` `repeats` times through a 1 MiB buffer.
bool Repeat(const std::string& source, const std::string& target, int repeats) {
  std::vector<char> buffer(1 << 20);
  std::FILE* out = std::fopen(target.c_str(), "wb");
  if (!out) return false;
  bool ok = true;
  for (int i = 0; i < repeats && ok; ++i) {
    std::FILE* in = std::fopen(source.c_str(), "rb");
    if (!in) {
      ok = false;
      break;
    }
    size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), in)) > 0) {
      ok = ok && std::fwrite(buffer.data(), 1, n, out) == n;
    }
    std::fclose(in);
  }
  return std::fclose(out) == 0 && ok;
}

template <typename F>
double Seconds(F&& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double PeakRssMiB(int who) {
  rusage usage{};
  getrusage(who, &usage);
  return double(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  const bool own_folder = argc < 2;
  const fs::path dir = own_folder ? fs::temp_directory_path() / "korvan-mux-bench" : fs::path(argv[1]);
  fs::create_directories(dir);
  const std::string gop_v = (dir / "gop.264").string(), gop_a = (dir / "gop.aac").string();
  const std::string v = (dir / "v.264").string(), a = (dir / "a.aac").string();
  const std::string ours = (dir / "ours.mp4").string(), theirs = (dir / "ffmpeg.mp4").string();

  if (!fs::exists(v) || !fs::exists(a)) {
    std::printf("generating input in %s ...\n", dir.c_str());
    if (!Run("ffmpeg -y -v error -f lavfi -i 'testsrc2=size=704x576:rate=25,noise=alls=12:allf=t' "
             "-t 10 -c:v libx264 -preset ultrafast -bf 0 -g 25 -b:v 1900k -maxrate 2500k "
             "-bufsize 2M -f h264 " + gop_v) ||
        !Run("ffmpeg -y -v error -f lavfi -i sine=r=48000:f=440 -ac 2 -t 10 -c:a aac -b:a 128k "
             "-f adts " + gop_a) ||
        !Repeat(gop_v, v, kRepeats) || !Repeat(gop_a, a, kRepeats)) {
      std::fprintf(stderr, "could not generate the input (is ffmpeg installed?)\n");
      return 1;
    }
  }
  const double input_mb = double(fs::file_size(v) + fs::file_size(a)) / 1e6;
  std::printf("input: %.1f MB (video %.1f MB, audio %.1f MB)\n", input_mb,
              double(fs::file_size(v)) / 1e6, double(fs::file_size(a)) / 1e6);
  const double rss_before = PeakRssMiB(RUSAGE_SELF);

  for (int run = 1; run <= 2; ++run) {
    int result = -1;
    const double ours_s = Seconds([&] { result = process(v.c_str(), a.c_str(), ours.c_str()); });
    const double ffmpeg_s = Seconds([&] {
      Run("ffmpeg -y -v error -f h264 -framerate 25 -i " + v + " -i " + a + " -c copy " + theirs);
    });
    std::printf("run %d: process %.3f s (result %d, %.0f MB/s), ffmpeg -c copy %.3f s\n", run,
                ours_s, result, input_mb / ours_s, ffmpeg_s);
  }
  std::printf("peak RSS: %.1f MiB after muxing (%.1f MiB before), ffmpeg child %.1f MiB\n",
              PeakRssMiB(RUSAGE_SELF), rss_before, PeakRssMiB(RUSAGE_CHILDREN));
  std::printf("output: ours %.1f MB, ffmpeg %.1f MB\n", double(fs::file_size(ours)) / 1e6,
              double(fs::file_size(theirs)) / 1e6);
  if (own_folder) fs::remove_all(dir);
  return 0;
}
