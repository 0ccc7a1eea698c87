// Record scan benchmark: a 32 GiB record region (262144 blocks) holding 200 recordings,
// scanned by RecListLoadTh's probing search and, for comparison, by its thorough scan that
// reads every block's information sector. Prints information sectors read and warm wall times.
//
// Two regions: a synthetic one that computes each information sector when read (no memory,
// no disk), and a real card image folder of eight sparse 4 GiB partition files opened through
// CardMedium, where only the information sectors are written (about 1 GiB on disk while the
// benchmark runs; removed at the end). Usage: scan_bench [recordings] [runs] [--no-files]
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "card/card_medium.h"
#include "card/region_reader.h"
#include "card/servsectclass.h"
#include "records/read_info_sector.h"
#include "records/reclistloadth.h"

namespace {

constexpr uint32_t kBlocks = 262144;  // 32 GiB / 128 KiB blocks

struct Recording {
  uint32_t first, blocks;
};

// Serves a ring of recordings laid out back to back with small gaps; block 0 is the ring
// start. Info sectors are built on demand from the recording that covers the block.
class SyntheticRegion final : public card::RegionReader {
 public:
  explicit SyntheticRegion(uint32_t recordings) {
    g_.N_rsf = 8;
    g_.N_sectors_in_rsr = kBlocks * 256;
    g_.N_sectors_in_standard_rsf = g_.N_sectors_in_the_last_rsf = g_.N_sectors_in_rsr / 8;
    card::InitServiceSector(base_, g_);
    const uint32_t slot = (kBlocks - 1) / recordings;
    for (uint32_t i = 0; i < recordings; ++i) {
      const uint32_t gap = i % 4 == 3 ? 1 + i % 13 : 0;  // every fourth recording after a gap
      layout_.push_back({1 + i * slot + gap, slot - gap});
    }
  }
  const card::RegionGeometry& geometry() const override { return g_; }
  card::RegionReadResult read_sector(uint32_t s, base::Sector& out) override {
    ++reads_;
    const uint32_t block = s >> 8;
    if ((s & 0xFF) != 0xFF) return out.fill(0), card::RegionReadResult::ok;
    auto it = std::upper_bound(layout_.begin(), layout_.end(), block,
                               [](uint32_t b, const Recording& r) { return b < r.first; });
    if (it == layout_.begin() || block >= (it - 1)->first + (it - 1)->blocks) {
      out.fill(0);
      return card::RegionReadResult::ok;
    }
    const Recording& r = *(it - 1);
    const uint32_t i = block - r.first;
    card::ServiceSector info = base_;
    info.set_serv_label_number(1000 + i);
    info.set_recstate(i == 0 ? 1 : 0);
    info.set_startrec_cycles(uint64_t(r.first) * 1000003);
    info.set_cycles(info.startrec_cycles() + uint64_t(i) * 196608000 / 4);
    info.set_f_cclk_copy(196608000);
    info.set_poweron_uid0(42);
    info.set_imei_sn(12345);
    out = info.bytes();
    return card::RegionReadResult::ok;
  }
  void close() override {}
  uint64_t reads() const override { return reads_; }
  void reset_reads() override { reads_ = 0; }
  size_t recordings() const { return layout_.size(); }

 private:
  card::RegionGeometry g_;
  card::ServiceSector base_;
  std::vector<Recording> layout_;
  uint64_t reads_ = 0;
};

// The thorough scan: every block's information sector in ring order.
size_t LinearScan(card::RegionReader& region, uint32_t n, uint32_t bgn, uint32_t end) {
  size_t found = 0;
  records::RecListLoadTh worker(
      region, {n, bgn, end}, [&](const records::TRecord&) { ++found; },
      records::ScanMode::thorough);
  worker.start();
  worker.wait_over();
  return found;
}

double Millis(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

bool WriteAt(const std::filesystem::path& file, uint64_t offset, const base::Sector& s) {
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT, 0644);
  if (fd < 0) return false;
  const bool ok = ::pwrite(fd, s.data(), s.size(), off_t(offset)) == ssize_t(s.size());
  return ::close(fd) == 0 && ok;
}

// Writes the synthetic region as a card image folder: hc00info.hcf and hc01info.hcf with the
// card service sector, eight sparse hcpt files holding the information sectors.
bool WriteCardFolder(const std::filesystem::path& dir, SyntheticRegion& source) {
  constexpr uint32_t kFiles = 8, kBlocksPerFile = kBlocks / kFiles;
  std::filesystem::create_directories(dir);
  card::ServiceSector service;
  card::InitServiceSector(service, source.geometry());
  service.set_rsr_sectnum(0x8000);
  service.set_rec_bgn_sectnum(0x8000);
  service.set_rec_end_sectnum(0x8000 + (kBlocks - 1) * 256);
  for (const char* name : {"hc00info.hcf", "hc01info.hcf"})
    if (!WriteAt(dir / name, 0, service.bytes())) return false;
  base::Sector info;
  for (uint32_t k = 0; k < kFiles; ++k) {
    char name[32];
    std::snprintf(name, sizeof name, "hcpt%04u.hcf", k);
    const int fd = ::open((dir / name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    bool ok = ::ftruncate(fd, off_t(uint64_t(kBlocksPerFile) * 256 * 512)) == 0;
    for (uint32_t b = 0; ok && b < kBlocksPerFile; ++b) {
      source.read_sector((k * kBlocksPerFile + b) * 256 + 255, info);
      if (!card::IsInformationSector(card::ServiceSector(info)).hasMagic) continue;
      ok = ::pwrite(fd, info.data(), info.size(), off_t((uint64_t(b) * 256 + 255) * 512)) == 512;
    }
    if (::close(fd) != 0 || !ok) return false;
  }
  return true;
}

struct Figures {
  size_t listed = 0, linearFound = 0;
  uint64_t probeReads = 0, linearReads = 0;
  double probeBest = 1e30, linearBest = 1e30;
};

Figures Measure(card::RegionReader& region, uint32_t bgn, uint32_t end, int runs,
                int linearRuns) {
  Figures f;
  for (int run = 0; run <= runs; ++run) {  // run 0 warms up
    region.reset_reads();
    size_t count = 0;
    const auto t0 = std::chrono::steady_clock::now();
    {
      records::RecListLoadTh worker(region, {kBlocks, bgn, end},
                                    [&](const records::TRecord&) { ++count; });
      worker.start();
      worker.wait_over();
    }
    const double ms = Millis(std::chrono::steady_clock::now() - t0);
    if (run > 0) f.probeBest = std::min(f.probeBest, ms);
    f.listed = count;
    f.probeReads = region.reads();
  }
  for (int run = 0; run < linearRuns; ++run) {
    region.reset_reads();
    const auto t0 = std::chrono::steady_clock::now();
    f.linearFound = LinearScan(region, kBlocks, bgn, end);
    f.linearBest = std::min(f.linearBest, Millis(std::chrono::steady_clock::now() - t0));
    f.linearReads = region.reads();
  }
  return f;
}

void Print(const char* title, const Figures& f, int runs) {
  std::printf("%s\n", title);
  std::printf("  probing scan: %zu listed, %llu info sectors read (%.1f per recording), "
              "best warm %.2f ms over %d runs\n",
              f.listed, (unsigned long long)f.probeReads,
              double(f.probeReads) / double(std::max<size_t>(f.listed, 1)), f.probeBest, runs);
  std::printf("  thorough scan: %zu found, %llu info sectors read (%.1f per recording), "
              "%.2f ms\n",
              f.linearFound, (unsigned long long)f.linearReads,
              double(f.linearReads) / double(std::max<size_t>(f.linearFound, 1)), f.linearBest);
  std::printf("  reads ratio linear/probing: %.1fx\n",
              double(f.linearReads) / double(std::max<uint64_t>(f.probeReads, 1)));
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  const bool files = std::find(args.begin(), args.end(), "--no-files") == args.end();
  args.erase(std::remove(args.begin(), args.end(), "--no-files"), args.end());
  const uint32_t recordings = args.size() > 0 ? uint32_t(std::atoi(args[0].c_str())) : 200;
  const int runs = args.size() > 1 ? std::atoi(args[1].c_str()) : 5;
  if (recordings == 0 || recordings > kBlocks / 4 || runs < 1) {
    std::fprintf(stderr, "usage: scan_bench [recordings 1..65536] [runs >= 1] [--no-files]\n");
    return 2;
  }
  SyntheticRegion region(recordings);
  const uint32_t bgn = 0, end = kBlocks - 1;
  std::printf("region: %u blocks (32 GiB), %zu recordings written\n", kBlocks,
              region.recordings());
  const Figures synthetic = Measure(region, bgn, end, runs, 2);
  Print("synthetic region (sectors computed on read):", synthetic, runs);
  bool ok = synthetic.listed == region.recordings() && synthetic.linearFound == synthetic.listed;
  if (!files) return ok ? 0 : 1;

  const auto dir = std::filesystem::temp_directory_path() /
                   ("korvan_scan_bench_" + std::to_string(::getpid()));
  const auto t0 = std::chrono::steady_clock::now();
  if (!WriteCardFolder(dir, region)) {
    std::fprintf(stderr, "cannot write the card folder in %s\n", dir.c_str());
    std::filesystem::remove_all(dir);
    return 1;
  }
  std::printf("card folder written in %.0f ms\n", Millis(std::chrono::steady_clock::now() - t0));
  platform::NullNoticeSink notices;
  card::CardMedium medium(notices);
  if (!medium.OpenMedium(dir.string()) || !medium.marked || !medium.regionReader()) {
    std::fprintf(stderr, "cannot open the card folder %s\n", dir.c_str());
    std::filesystem::remove_all(dir);
    return 1;
  }
  const Figures real = Measure(*medium.regionReader(), medium.s_s_bgn, medium.s_s_end, runs, 1);
  Print("card image folder (8 sparse partition files through CardMedium):", real, runs);
  medium.CloseMedium();
  std::filesystem::remove_all(dir);
  ok = ok && real.listed == region.recordings() && real.linearFound == real.listed;
  return ok ? 0 : 1;
}
