// An in-memory record region for tests: N sectors of zeros behind the RegionReader interface,
// with fault injection (a sector that fails to read, a read budget after which all reads fail).
#pragma once

#include <cstring>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

#include "card/region_reader.h"

namespace testsupport {

class MemoryRegion final : public card::RegionReader {
 public:
  // One partition file per `sectorsPerFile` sectors (the last may be shorter).
  MemoryRegion(uint32_t totalSectors, uint32_t sectorsPerFile)
      : data_(size_t(totalSectors) * base::kSectorSize) {
    g_.N_sectors_in_rsr = totalSectors;
    g_.N_sectors_in_standard_rsf = sectorsPerFile;
    g_.N_rsf = (totalSectors + sectorsPerFile - 1) / sectorsPerFile;
    g_.N_sectors_in_the_last_rsf = totalSectors - (g_.N_rsf - 1) * sectorsPerFile;
  }
  explicit MemoryRegion(uint32_t totalSectors) : MemoryRegion(totalSectors, totalSectors) {}

  const card::RegionGeometry& geometry() const override { return g_; }

  card::RegionReadResult read_sector(uint32_t s, base::Sector& out) override {
    std::lock_guard lock(mutex_);
    ++reads_;
    if (failing_.count(s)) return card::RegionReadResult::short_read;
    if (budget_ && *budget_ == 0) return card::RegionReadResult::no_file;
    if (budget_) --*budget_;
    if (s >= g_.N_sectors_in_rsr) return card::RegionReadResult::no_file;
    std::memcpy(out.data(), sector(s), base::kSectorSize);
    return card::RegionReadResult::ok;
  }
  void close() override {}
  uint64_t reads() const override { return reads_; }
  void reset_reads() override { reads_ = 0; }

  uint8_t* sector(uint32_t s) { return &data_[size_t(s) * base::kSectorSize]; }
  void fail_sector(uint32_t s) { failing_.insert(s); }
  void set_read_budget(uint64_t n) { budget_ = n; }

 private:
  card::RegionGeometry g_;
  std::vector<uint8_t> data_;
  std::set<uint32_t> failing_;
  std::optional<uint64_t> budget_;
  uint64_t reads_ = 0;
  std::mutex mutex_;
};

}  // namespace testsupport
