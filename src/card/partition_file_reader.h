// The shared region reader of an open card: region sector s lies in partition file
// s / N_sectors_in_standard_rsf at sector s mod N_sectors_in_standard_rsf. Keeps one
// partition file open and reopens only when another file is needed; sequential reads go
// through a 1 MiB read-ahead window. A mutex serialises callers, so any thread may read.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "card/card_file_system.h"
#include "card/region_reader.h"

namespace card {

class PartitionFileReader final : public RegionReader {
 public:
  // `names`: the partition files in order, as `fs` knows them.
  PartitionFileReader(std::shared_ptr<CardFileSystem> fs, std::vector<std::string> names,
                      const RegionGeometry& g);

  const RegionGeometry& geometry() const override { return g_; }
  RegionReadResult read_sector(uint32_t s, base::Sector& out) override;
  void close() override;
  uint64_t reads() const override { return reads_.load(); }
  void reset_reads() override { reads_ = 0; }

  // How many times a partition file was opened (tests check the reuse).
  uint64_t opens() const { return opens_.load(); }

 private:
  std::shared_ptr<CardFileSystem> fs_;
  std::vector<std::string> names_;
  RegionGeometry g_;
  std::mutex mutex_;
  std::unique_ptr<SectorFile> file_;
  uint32_t openIndex_ = 0;
  std::atomic<uint64_t> reads_{0};
  std::atomic<uint64_t> opens_{0};
};

}  // namespace card
