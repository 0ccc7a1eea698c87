// Test helper: writes recordings into an in-memory record region the way the recorder stamps
// its blocks (one information sector per block, same identity, labels counting up by one),
// and runs a complete scan over it. InfoRegion stores only the information sectors, so rings
// of many blocks stay small; it counts reads, fails chosen blocks and can hold one read until
// the test releases it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <set>
#include <vector>

#include "card/servsectclass.h"
#include "records/reclistloadth.h"
#include "records/record_list.h"
#include "support/memory_region.h"

namespace testsupport {

class InfoRegion final : public card::RegionReader {
 public:
  explicit InfoRegion(uint32_t blocks) : info_(blocks) {
    for (auto& s : info_) s.fill(0);
    g_.N_rsf = 1;
    g_.N_sectors_in_rsr = g_.N_sectors_in_standard_rsf = g_.N_sectors_in_the_last_rsf =
        blocks * 256;
  }
  const card::RegionGeometry& geometry() const override { return g_; }
  card::RegionReadResult read_sector(uint32_t s, base::Sector& out) override {
    std::unique_lock lock(mutex_);
    const uint64_t n = ++reads_;
    if (n == hold_at_) {
      held_ = true;
      cv_.notify_all();
      cv_.wait(lock, [this] { return released_; });
    }
    if (s >= g_.N_sectors_in_rsr) return card::RegionReadResult::no_file;
    if (failing_.count(s >> 8)) return card::RegionReadResult::short_read;
    if ((s & 0xFF) == 0xFF) out = info_[s >> 8];
    else out.fill(0);
    return card::RegionReadResult::ok;
  }
  void close() override {}
  uint64_t reads() const override { std::lock_guard l(mutex_); return reads_; }
  void reset_reads() override { std::lock_guard l(mutex_); reads_ = 0; }

  base::Sector& info(uint32_t block) { return info_[block]; }
  void fail_block(uint32_t block) { failing_.insert(block); }
  // The n-th read (counted from the last reset) waits until release().
  void hold_read(uint64_t n) { hold_at_ = n; }
  void wait_until_held() {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [this] { return held_; });
  }
  void release() {
    { std::lock_guard l(mutex_); released_ = true; }
    cv_.notify_all();
  }

 private:
  card::RegionGeometry g_;
  std::vector<base::Sector> info_;
  std::set<uint32_t> failing_;
  uint64_t reads_ = 0, hold_at_ = 0;
  bool held_ = false, released_ = false;
  mutable std::mutex mutex_;
  std::condition_variable cv_;
};

struct RecordingSpec {
  uint32_t first = 1;       // first block
  uint32_t blocks = 1;      // written at first, first + 1, ... (mod ring size)
  uint32_t imei_sn = 12345;
  uint32_t poweron_uid0 = 7;
  uint64_t startrec_cycles = 1000;
  uint32_t label = 500;     // label of the first block
  bool start_bit = true;    // recstate bit 0 on the first block
  uint32_t clock_hz = 196608000;
  uint64_t ticks_per_block = 196608000;  // one second per block
  uint32_t format_version = 203;
};

inline uint32_t RingBlocks(const card::RegionReader& region) {
  return region.geometry().N_sectors_in_rsr >> 8;
}

inline card::ServiceSector InfoSectorFor(const card::RegionReader& region, const RecordingSpec& desc,
                                         uint32_t i) {
  card::ServiceSector s;
  card::InitServiceSector(s, region.geometry());
  s.set_format_version(desc.format_version);
  s.set_serv_label_number(desc.label + i);
  s.set_recstate(i == 0 && desc.start_bit ? 1 : 0);
  s.set_ye(14), s.set_mo(3), s.set_md(5), s.set_ho(14), s.set_mi(7), s.set_se(9);
  s.set_f_cclk_copy(desc.clock_hz);
  s.set_startrec_cycles(desc.startrec_cycles);
  s.set_cycles(desc.startrec_cycles + uint64_t(i) * desc.ticks_per_block);
  s.set_poweron_uid0(desc.poweron_uid0);
  s.set_imei_sn(desc.imei_sn);
  return s;
}

inline void WriteInfoSector(MemoryRegion& region, uint32_t block, const card::ServiceSector& s) {
  std::memcpy(region.sector(block * 256 + 255), s.data(), base::kSectorSize);
}

inline void WriteInfoSector(InfoRegion& region, uint32_t block, const card::ServiceSector& s) {
  region.info(block) = s.bytes();
}

template <class Region>
void WriteRecording(Region& region, const RecordingSpec& desc) {
  const uint32_t n = RingBlocks(region);
  for (uint32_t i = 0; i < desc.blocks; ++i)
    WriteInfoSector(region, (desc.first + i) % n, InfoSectorFor(region, desc, i));
}

struct ScanResult {
  std::vector<records::TRecord> records;
  bool failed = false;
  int32_t position = 0;
  int32_t total = 0;
  uint64_t reads = 0;
};

// Runs the worker on its thread until the scan is over, then terminates it.
inline ScanResult ScanRingIn(card::RegionReader& region, records::ScanRing ring,
                             records::ScanMode mode = records::ScanMode::probing) {
  region.reset_reads();
  records::RecordList list;
  ScanResult r;
  {
    records::RecListLoadTh worker(
        region, ring, [&](const records::TRecord& rec) { list.append(rec); }, mode);
    worker.start();
    worker.wait_over();
    r.failed = worker.scanFailed;
    r.position = worker.scanPosition;
    r.total = worker.scanTotal;
  }
  r.records = list.snapshot();
  r.reads = region.reads();
  return r;
}

inline ScanResult ScanWith(card::RegionReader& region, uint32_t bgn, uint32_t end,
                           uint32_t ringBlocks) {
  return ScanRingIn(region, {ringBlocks, bgn, end});
}

inline ScanResult Scan(card::RegionReader& region, uint32_t bgn, uint32_t end) {
  return ScanWith(region, bgn, end, RingBlocks(region));
}

}  // namespace testsupport
