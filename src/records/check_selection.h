// The check marks of the record list: one flag per line, the current line, the select-all
// toggle and the Shift anchor for range checking.
//
// The list window mirrors this model in its check-list box; every rule about which lines end
// up checked lives here so that it is the same for every front end. Not thread-safe: the UI
// thread owns it.
#pragma once

#include <cstdint>
#include <vector>

namespace records {

class CheckSelection {
 public:
  static constexpr int kNone = -1;
  // A Shift+click this close to the list's left edge lands on the check box, whose own toggle
  // follows the click.
  static constexpr int kCheckBoxWidth = 17;

  int count() const { return int(checked_.size()); }
  void append() { checked_.push_back(false); }
  void remove_last();
  void clear();

  bool checked(int line) const;
  void set_checked(int line, bool on);
  int checked_count() const;
  // The first checked line after `line` (-1 starts at the top), or kNone.
  int next_checked(int line) const;

  int current() const { return current_; }
  void set_current(int line) { current_ = (line >= 0 && line < count()) ? line : kNone; }

  // Checks every line when select_all_next() is set, unchecks them otherwise, then flips it.
  // Returns whether it checked.
  bool select_all();
  bool select_all_next() const { return select_all_next_; }
  void invert();

  // A key pressed on the list while Shift is held remembers the current line (0 without one).
  void remember_anchor() { shift_anchor_ = current_ == kNone ? 0 : current_; }
  int shift_anchor() const { return shift_anchor_; }
  // Shift + left button on line `current_`: checks the lines between the anchor and it. When
  // the press is on the check box (x <= kCheckBoxWidth) the current line is left unchecked so
  // that the box's own toggle, which comes next, checks it.
  void shift_click(int x);

 private:
  std::vector<bool> checked_;
  int current_ = kNone;
  int shift_anchor_ = 0;
  bool select_all_next_ = true;
};

}  // namespace records
