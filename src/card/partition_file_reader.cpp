#include "card/partition_file_reader.h"

namespace card {

PartitionFileReader::PartitionFileReader(std::shared_ptr<CardFileSystem> fs,
                                         std::vector<std::string> names, const RegionGeometry& g)
    : fs_(std::move(fs)), names_(std::move(names)), g_(g) {}

RegionReadResult PartitionFileReader::read_sector(uint32_t s, base::Sector& out) {
  std::lock_guard lock(mutex_);
  ++reads_;
  // A zero-sized first file would make every position divide by zero: nothing is readable.
  if (g_.N_sectors_in_standard_rsf == 0) return RegionReadResult::no_file;
  const uint32_t k = s / g_.N_sectors_in_standard_rsf;
  const uint32_t o = s % g_.N_sectors_in_standard_rsf;
  if (k >= g_.N_rsf || k >= names_.size()) return RegionReadResult::no_file;
  // Sector o exists only when it lies below the file's sector count.
  if (o >= g_.file_sectors(k)) return RegionReadResult::beyond_file;
  if (!file_ || openIndex_ != k) {
    file_.reset();
    file_ = fs_->Open(names_[k]);
    if (!file_) return RegionReadResult::no_file;
    openIndex_ = k;
    ++opens_;
  }
  if (file_->read(uint64_t(o) * base::kSectorSize, out) != base::kSectorSize)
    return RegionReadResult::short_read;
  return RegionReadResult::ok;
}

void PartitionFileReader::close() {
  std::lock_guard lock(mutex_);
  file_.reset();
}

}  // namespace card
