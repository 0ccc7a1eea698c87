// The list of recordings that the scan fills: an ordered, owning list of TRecord guarded by
// a mutex.
//
// The scan worker appends while the UI thread reads; every call takes the lock for its whole
// duration, so a reader sees either a complete descriptor or none. Readers get copies, never
// references into the list. Any thread may call any member.
#pragma once

#include <cstddef>
#include <mutex>
#include <optional>
#include <vector>

#include "records/trecord.h"

namespace records {

class RecordList {
 public:
  void append(const TRecord& r);
  size_t size() const;
  bool empty() const { return size() == 0; }
  // A copy of entry i, or nothing when i is out of range.
  std::optional<TRecord> at(size_t i) const;
  std::optional<TRecord> last() const;
  std::vector<TRecord> snapshot() const;
  void clear();
  // Removes the newest entry (after erasing the last recording); false when empty.
  bool remove_last();

 private:
  mutable std::mutex mutex_;
  std::vector<TRecord> records_;
};

}  // namespace records
