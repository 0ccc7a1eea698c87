// Marking benchmark: a 64 GiB sparse FAT32 volume image made by mkfs.fat, marked at 100 %
// (as many 1 GiB partition files as the data area allows) by the raw writes of marking,
// then checked by reading it back. Prints the layout, the wall time of marking and of the
// check, the number of write calls and the bytes written, against the write calls a rewrite
// of one FAT sector at a time would need. Usage: mark_bench [image-folder] (default /tmp).
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "card/fat_volume.h"
#include "platform/raw_volume.h"
#include "prepare/mark_volume.h"
#include "prepare/marking_check.h"
#include "prepare/marking_layout.h"
#include "prepare/marking_plan.h"

namespace {

double Since(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

// Counts bytes written on top of the write calls the fault wrapper counts.
class CountingVolume final : public platform::RawVolume {
 public:
  explicit CountingVolume(std::shared_ptr<platform::RawVolume> base) : base_(std::move(base)) {}
  size_t read_at(uint64_t o, std::span<uint8_t> out) override { return base_->read_at(o, out); }
  size_t write_at(uint64_t o, std::span<const uint8_t> in) override {
    ++writes;
    bytes += in.size();
    return base_->write_at(o, in);
  }
  bool flush() override { return base_->flush(); }
  uint64_t length() const override { return base_->length(); }
  bool writable() const override { return base_->writable(); }
  int last_error() const override { return base_->last_error(); }
  uint64_t writes = 0, bytes = 0;

 private:
  std::shared_ptr<platform::RawVolume> base_;
};

}  // namespace

int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? argv[1] : "/tmp";
  const std::string image = folder + "/mark_bench_" + std::to_string(::getpid()) + ".img";
  const std::string make = "mkfs.fat -C -F 32 '" + image + "' " + std::to_string(64ull << 20) +
                           " >/dev/null";
  if (std::system(make.c_str()) != 0) {
    std::fprintf(stderr, "mkfs.fat failed\n");
    return 1;
  }
  int error = 0;
  std::shared_ptr<platform::RawVolume> file = platform::OpenFileVolume(image, true, &error);
  auto volume = std::make_shared<CountingVolume>(file);
  const card::VolumeGeometry g = card::RecogniseVolumeOn(*volume);
  const prepare::ShareLayout s =
      prepare::LayoutForShare(volume->length(), prepare::MarkableBytes(*volume, g), 100);
  const prepare::PlanResult plan = prepare::PlanMarking(*volume, g, s.layout);
  if (!plan.ok()) {
    std::fprintf(stderr, "plan failed: %s\n", prepare::PlanErrorText(plan.error));
    std::remove(image.c_str());
    return 1;
  }
  const auto t0 = std::chrono::steady_clock::now();
  const prepare::MarkStatus status =
      prepare::MarkVolume(*volume, plan.plan, prepare::FatTimestampOf(std::time(nullptr)));
  const double markSeconds = Since(t0);
  const auto t1 = std::chrono::steady_clock::now();
  const prepare::MarkingCheck check = prepare::CheckMarkedVolume(file, s.layout);
  const double checkSeconds = Since(t1);
  const uint64_t fatSectors = (uint64_t(plan.plan.regionClusters) * 4 + 511) / 512;
  std::printf("volume: 64 GiB, %d-byte clusters, %u clusters\n", g.sectorsPerCluster * 512,
              unsigned(g.clusterCount));
  std::printf("layout: N=%d S=%llu L=%llu region=%llu bytes\n", s.layout.fileCount,
              (unsigned long long)s.layout.standardFileBytes,
              (unsigned long long)s.layout.lastFileBytes,
              (unsigned long long)s.layout.regionBytes());
  std::printf("marking: %s in %.3f s, %llu write calls, %llu bytes written\n",
              prepare::MarkStatusText(status), markSeconds, (unsigned long long)volume->writes,
              (unsigned long long)volume->bytes);
  std::printf("one FAT sector per write would take about %llu write calls for the chains\n",
              (unsigned long long)(fatSectors * 2));
  std::printf("check after marking: %s in %.3f s\n", check.ok ? "ok" : check.problem.c_str(),
              checkSeconds);
  std::remove(image.c_str());
  return status == prepare::MarkStatus::ok && check.ok ? 0 : 1;
}
