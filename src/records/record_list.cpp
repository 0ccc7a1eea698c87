#include "records/record_list.h"

namespace records {

void RecordList::append(const TRecord& r) {
  std::lock_guard lock(mutex_);
  records_.push_back(r);
}

size_t RecordList::size() const {
  std::lock_guard lock(mutex_);
  return records_.size();
}

std::optional<TRecord> RecordList::at(size_t i) const {
  std::lock_guard lock(mutex_);
  if (i >= records_.size()) return std::nullopt;
  return records_[i];
}

std::optional<TRecord> RecordList::last() const {
  std::lock_guard lock(mutex_);
  if (records_.empty()) return std::nullopt;
  return records_.back();
}

std::vector<TRecord> RecordList::snapshot() const {
  std::lock_guard lock(mutex_);
  return records_;
}

void RecordList::clear() {
  std::lock_guard lock(mutex_);
  records_.clear();
}

bool RecordList::remove_last() {
  std::lock_guard lock(mutex_);
  if (records_.empty()) return false;
  records_.pop_back();
  return true;
}

}  // namespace records
