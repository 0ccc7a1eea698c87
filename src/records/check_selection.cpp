#include "records/check_selection.h"

#include <algorithm>

namespace records {

void CheckSelection::remove_last() {
  if (checked_.empty()) return;
  checked_.pop_back();
  if (current_ >= count()) current_ = kNone;
}

void CheckSelection::clear() {
  checked_.clear();
  current_ = kNone;
}

bool CheckSelection::checked(int line) const {
  return line >= 0 && line < count() && checked_[size_t(line)];
}

void CheckSelection::set_checked(int line, bool on) {
  if (line >= 0 && line < count()) checked_[size_t(line)] = on;
}

int CheckSelection::checked_count() const {
  return int(std::count(checked_.begin(), checked_.end(), true));
}

int CheckSelection::next_checked(int line) const {
  for (int i = std::max(line + 1, 0); i < count(); ++i)
    if (checked_[size_t(i)]) return i;
  return kNone;
}

bool CheckSelection::select_all() {
  const bool checking = select_all_next_;
  std::fill(checked_.begin(), checked_.end(), checking);
  select_all_next_ = !checking;
  return checking;
}

void CheckSelection::invert() { checked_.flip(); }

void CheckSelection::shift_click(int x) {
  if (current_ == kNone) return;
  const int lo = std::min(shift_anchor_, current_);
  const int hi = std::min(std::max(shift_anchor_, current_), count() - 1);
  for (int i = std::max(lo, 0); i <= hi; ++i) checked_[size_t(i)] = true;
  if (x <= kCheckBoxWidth) checked_[size_t(current_)] = false;
}

}  // namespace records
