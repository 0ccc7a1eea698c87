#include "records/check_selection.h"

#include <gtest/gtest.h>

using records::CheckSelection;

namespace {

CheckSelection Lines(int n) {
  CheckSelection s;
  for (int i = 0; i < n; ++i) s.append();
  return s;
}

std::vector<int> Checked(const CheckSelection& s) {
  std::vector<int> out;
  for (int i = 0; i < s.count(); ++i)
    if (s.checked(i)) out.push_back(i);
  return out;
}

}  // namespace

TEST(CheckSelection, SelectAllAlternatesBetweenCheckingAndUnchecking) {
  CheckSelection s = Lines(4);
  s.set_checked(1, true);
  EXPECT_TRUE(s.select_all());
  EXPECT_EQ(s.checked_count(), 4);
  EXPECT_FALSE(s.select_all());
  EXPECT_EQ(s.checked_count(), 0);
  EXPECT_TRUE(s.select_all());
}

TEST(CheckSelection, InvertFlipsEveryLine) {
  CheckSelection s = Lines(4);
  s.set_checked(0, true);
  s.set_checked(2, true);
  s.invert();
  EXPECT_EQ(Checked(s), (std::vector<int>{1, 3}));
}

TEST(CheckSelection, ShiftClickFromAnchorBelowChecksTheRangeUpwards) {
  CheckSelection s = Lines(10);
  s.set_current(7);
  s.remember_anchor();
  s.set_current(3);
  s.shift_click(100);  // on the text, not the check box
  EXPECT_EQ(Checked(s), (std::vector<int>{3, 4, 5, 6, 7}));
}

TEST(CheckSelection, ShiftClickOnTheCheckBoxLeavesTheClickedLineForTheBoxToToggle) {
  CheckSelection s = Lines(10);
  s.set_current(7);
  s.remember_anchor();
  s.set_current(3);
  s.shift_click(CheckSelection::kCheckBoxWidth);
  EXPECT_EQ(Checked(s), (std::vector<int>{4, 5, 6, 7}));
}

TEST(CheckSelection, AnchorWithoutCurrentLineIsTheTop) {
  CheckSelection s = Lines(5);
  s.remember_anchor();
  EXPECT_EQ(s.shift_anchor(), 0);
  s.set_current(2);
  s.shift_click(50);
  EXPECT_EQ(Checked(s), (std::vector<int>{0, 1, 2}));
}

TEST(CheckSelection, AnchorBeyondAShortenedListIsClamped) {
  CheckSelection s = Lines(6);
  s.set_current(5);
  s.remember_anchor();
  s.remove_last();
  s.remove_last();
  EXPECT_EQ(s.current(), CheckSelection::kNone);
  s.set_current(1);
  s.shift_click(50);
  EXPECT_EQ(Checked(s), (std::vector<int>{1, 2, 3}));
}

TEST(CheckSelection, NextCheckedWalksForward) {
  CheckSelection s = Lines(6);
  s.set_checked(2, true);
  s.set_checked(5, true);
  EXPECT_EQ(s.next_checked(-1), 2);
  EXPECT_EQ(s.next_checked(2), 5);
  EXPECT_EQ(s.next_checked(5), CheckSelection::kNone);
}
