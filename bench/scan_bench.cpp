// Record scan benchmark: a 32 GiB record region (262144 blocks) holding 200 recordings,
// scanned by RecListLoadTh's probing search and, for comparison, by a linear walk that reads
// every block's information sector. Prints information sectors read and warm wall times.
//
// The region is synthetic: each information sector is computed when read, so 32 GiB cost no
// memory or disk. Usage: scan_bench [recordings] [runs]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

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
  SyntheticRegion(uint32_t recordings) {
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

// Every block in ring order; a recording ends where the identity or the label run breaks.
size_t LinearScan(card::RegionReader& region, uint32_t n, uint32_t bgn, uint32_t end) {
  size_t found = 0;
  bool open = false;
  card::ServiceSector first;
  uint32_t firstBlock = 0;
  records::InfoSectorRead cur;
  for (uint32_t b = (bgn + 1) % n;; b = (b + 1) % n) {
    records::ReadInfoSector(region, b, cur);
    if (!cur.ok) break;
    const bool continues = open && cur.hasMagic && card::SameRecord(first, firstBlock, cur.sector, b, n);
    if (!continues) {
      if (open) ++found;
      open = cur.hasMagic;
      first = cur.sector;
      firstBlock = b;
    }
    if (b == end) break;
  }
  return found + (open ? 1 : 0);
}

double Millis(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

}  // namespace

int main(int argc, char** argv) {
  const uint32_t recordings = argc > 1 ? uint32_t(std::atoi(argv[1])) : 200;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
  SyntheticRegion region(recordings);
  const uint32_t bgn = 0, end = kBlocks - 1;

  size_t listed = 0;
  uint64_t probeReads = 0;
  double probeBest = 1e30;
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
    if (run > 0) probeBest = std::min(probeBest, ms);
    listed = count;
    probeReads = region.reads();
  }

  size_t linearFound = 0;
  uint64_t linearReads = 0;
  double linearBest = 1e30;
  for (int run = 0; run <= std::min(runs, 2); ++run) {
    region.reset_reads();
    const auto t0 = std::chrono::steady_clock::now();
    linearFound = LinearScan(region, kBlocks, bgn, end);
    const double ms = Millis(std::chrono::steady_clock::now() - t0);
    if (run > 0) linearBest = std::min(linearBest, ms);
    linearReads = region.reads();
  }

  std::printf("region: %u blocks (32 GiB), %zu recordings written\n", kBlocks,
              region.recordings());
  std::printf("probing scan: %zu listed, %llu info sectors read (%.1f per recording), "
              "best warm %.2f ms over %d runs\n",
              listed, (unsigned long long)probeReads, double(probeReads) / double(listed),
              probeBest, runs);
  std::printf("linear scan:  %zu found, %llu info sectors read (%.1f per recording), "
              "best warm %.2f ms\n",
              linearFound, (unsigned long long)linearReads,
              double(linearReads) / double(linearFound), linearBest);
  std::printf("reads ratio linear/probing: %.1fx\n", double(linearReads) / double(probeReads));
  return listed == region.recordings() && linearFound == listed ? 0 : 1;
}
