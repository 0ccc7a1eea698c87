// Post-processing speed on a large real .mp4 against an ffmpeg stream-copy remux of the same
// file (the bar the whole conversion must meet), plus the verifier. Needs ffmpeg on PATH.
// Usage: postprocess_bench [SECONDS=18 (about 500 MB)] [WORK_DIR=/tmp]
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "card/servsectclass.h"
#include "convert/integrity_block.h"
#include "convert/mp4_postprocess.h"
#include "convert/mp4_verify.h"

namespace {

double Seconds(const std::function<void()>& f) {
  const auto t0 = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double MegaBytes(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? double(st.st_size) / 1e6 : 0;
}

int Shell(const std::string& command) { return std::system(command.c_str()); }

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 18;
  const std::string dir = argc > 2 ? argv[2] : "/tmp";
  const std::string source = dir + "/korvan_bench_source.mp4";
  const std::string work = dir + "/korvan_bench_work.mp4";
  const std::string remux = dir + "/korvan_bench_remux.mp4";
  if (Shell("command -v ffmpeg >/dev/null") != 0) {
    std::printf("ffmpeg not found: nothing measured\n");
    return 0;
  }
  // Lossless noisy pictures make large samples (about 0.6 MB) quickly; 47 pictures per second
  // keep video and AAC frames alternating, one sample per chunk as our muxer writes them.
  const double make = Seconds([&] {
    Shell("ffmpeg -v error -f lavfi -i testsrc2=size=640x480:rate=47 -f lavfi "
          "-i sine=sample_rate=48000 -t " + std::to_string(seconds) +
          " -vf noise=alls=60:allf=t -c:v libx264 -preset ultrafast -qp 0 -bf 0 -c:a aac -chunk_duration 1 -f mp4 -y " +
          source);
  });
  const double mb = MegaBytes(source);
  std::printf("source: %.1f MB, %d s (made in %.1f s)\n", mb, seconds, make);

  Shell("cat " + source + " > /dev/null");  // same warm page cache for every contender
  const double ffmpegCopy = Seconds([&] {
    Shell("ffmpeg -v error -i " + source + " -map 0 -c copy -f mp4 -y " + remux);
  });
  std::printf("ffmpeg -c copy remux:   %7.3f s  %7.1f MB/s\n", ffmpegCopy, mb / ffmpegCopy);

  Shell("cp " + source + " " + work);
  card::ServiceSector bss, ess;
  const auto block = convert::BuildIntegrityBlock({&bss, &ess, 1, 2, 256, 511, work});
  std::atomic<int> code{0};
  platform::NullNoticeSink sink;
  int sealed = 0;
  const double post = Seconds([&] {
    sealed = convert::PostProcessMp4(work, block.data(), block.size(), code, sink);
  });
  std::printf("post-process (seal):    %7.3f s  %7.1f MB/s  result %d, text %.2f MB\n", post,
              mb / post, sealed, MegaBytes(work) - mb);

  convert::VerifyResult r;
  const double verify = Seconds([&] { r = convert::VerifyMp4(work); });
  std::printf("verify:                 %7.3f s  %7.1f MB/s  %s (%u video, %u audio samples)\n",
              verify, mb / verify, r.status == convert::VerifyStatus::intact ? "intact" : r.problem.c_str(),
              r.record.videoSamples, r.record.audioSamples);
  std::remove(source.c_str());
  std::remove(work.c_str());
  std::remove(remux.c_str());
  return 0;
}
