#include "records/record_list.h"

#include <gtest/gtest.h>

#include <thread>

using records::RecordList;
using records::TRecord;

namespace {

TRecord Numbered(int32_t i) {
  TRecord r;
  r.bss_index = i;
  r.ess_index = i;
  r.bss.bytes().fill(uint8_t(i));
  r.ess.bytes().fill(uint8_t(i));
  return r;
}

}  // namespace

TEST(RecordList, AppendReadRemove) {
  RecordList list;
  EXPECT_TRUE(list.empty());
  EXPECT_FALSE(list.at(0));
  EXPECT_FALSE(list.remove_last());
  list.append(Numbered(1));
  list.append(Numbered(2));
  EXPECT_EQ(list.size(), 2u);
  EXPECT_EQ(list.at(1)->bss_index, 2);
  EXPECT_FALSE(list.at(2));
  EXPECT_TRUE(list.remove_last());
  EXPECT_EQ(list.last()->bss_index, 1);
  list.clear();
  EXPECT_TRUE(list.snapshot().empty());
}

// A reader running beside the appending thread sees only whole entries, in order.
TEST(RecordList, ConcurrentReaderNeverSeesAHalfEntry) {
  RecordList list;
  constexpr int kCount = 2000;
  std::thread writer([&] {
    for (int i = 0; i < kCount; ++i) list.append(Numbered(i));
  });
  size_t seen = 0;
  while (seen < size_t(kCount)) {
    const auto snap = list.snapshot();
    ASSERT_GE(snap.size(), seen);
    for (size_t i = seen; i < snap.size(); ++i) {
      const TRecord& r = snap[i];
      ASSERT_EQ(r.bss_index, int32_t(i));
      ASSERT_EQ(r.ess.bytes()[511], uint8_t(i));
    }
    seen = snap.size();
  }
  writer.join();
}
