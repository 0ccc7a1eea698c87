// The layout search and the slider rule: the document's cases, the size limits and the
// bound by the data area the files can really occupy.
#include "prepare/marking_layout.h"

#include <gtest/gtest.h>

namespace prepare {
namespace {

constexpr uint64_t kMiB = 1ull << 20, kGiB = 1ull << 30;

TEST(PowerOfTwo, CeilAndFloorStartAtTwo) {
  EXPECT_EQ(CeilPow2(0), 2u);
  EXPECT_EQ(CeilPow2(3), 4u);
  EXPECT_EQ(CeilPow2(4), 4u);
  EXPECT_EQ(FloorPow2(-5), 1u);
  EXPECT_EQ(FloorPow2(1), 1u);
  EXPECT_EQ(FloorPow2(7), 4u);
  EXPECT_EQ(FloorPow2(8), 8u);
}

struct LayoutCase {
  uint64_t total;
  int n;
  uint64_t s, l, region;
};

TEST(ChooseLayout, KnownCardSizes) {
  const LayoutCase cases[] = {
      {4 * kMiB, 4, kMiB, kMiB, 4 * kMiB},  // shrinks from 8 files down to 4
      {128000000, 8, 16 * kMiB, 8 * kMiB, 125829120},
      {2 * kGiB, 8, 256 * kMiB, 256 * kMiB, 2 * kGiB},
      {64 * kGiB, 64, kGiB, kGiB, 64 * kGiB},  // grows until S is capped at 1 GiB
  };
  for (const LayoutCase& c : cases) {
    MarkingLayout l;
    ASSERT_TRUE(ChooseLayout(c.total, kStartFileCount, l)) << c.total;
    EXPECT_EQ(l.fileCount, c.n) << c.total;
    EXPECT_EQ(l.standardFileBytes, c.s) << c.total;
    EXPECT_EQ(l.lastFileBytes, c.l) << c.total;
    EXPECT_EQ(l.regionBytes(), c.region) << c.total;
  }
}

TEST(ChooseLayout, TooSmallOrBadStartFails) {
  MarkingLayout l;
  EXPECT_FALSE(ChooseLayout(2560000, kStartFileCount, l));
  EXPECT_EQ(l.fileCount, 1);
  EXPECT_EQ(l.standardFileBytes, 0u);
  EXPECT_FALSE(ChooseLayout(64 * kGiB, 1, l));
}

TEST(ChooseLayout, LimitsHoldAndRegionNeverExceedsTotal) {
  // A sweep over card sizes: S a power of two <= 1 GiB, 1 MiB <= L <= S, N <= 256, and the
  // region fits in what was shared out.
  for (uint64_t total = 3 * kMiB; total < 600 * kGiB; total = total * 9 / 7 + 12345) {
    MarkingLayout l;
    if (!ChooseLayout(total, kStartFileCount, l)) continue;
    EXPECT_LE(l.standardFileBytes, kMaxFileBytes);
    EXPECT_EQ(l.standardFileBytes & (l.standardFileBytes - 1), 0u);
    EXPECT_GE(l.lastFileBytes, kMinLastFileBytes);
    EXPECT_LE(l.lastFileBytes, l.standardFileBytes);
    EXPECT_LE(l.fileCount, kMaxFileCount);
    EXPECT_LE(l.regionBytes(), total) << total;
  }
}

TEST(LayoutForShare, MovesTheShareUpUntilALayoutExists) {
  // 100 MiB card: 1 % (1 MiB) gives no layout, 2 % gives two files of 1 MiB.
  const ShareLayout r = LayoutForShare(100 * kMiB, UINT64_MAX, 1);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.share, 2);
  EXPECT_EQ(r.layout.fileCount, 2);
  EXPECT_EQ(r.layout.regionBytes(), 2 * kMiB);
  // A card too small for any layout ends the search at 100 % without a layout.
  const ShareLayout none = LayoutForShare(3 * kMiB / 2, UINT64_MAX, 40);
  EXPECT_FALSE(none.ok);
  EXPECT_EQ(none.share, 100);
}

TEST(LayoutForShare, BoundedByTheMarkableDataArea) {
  // A 64 MiB volume whose files can occupy only 62 MiB: 100 % must not ask for 64 MiB.
  const ShareLayout r = LayoutForShare(64 * kMiB, 62 * kMiB, 100);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.share, 100);
  EXPECT_LE(r.layout.regionBytes(), 62 * kMiB);
  EXPECT_EQ(r.layout.regionBytes(), 60 * kMiB);  // 7 x 8 MiB + 4 MiB
  // Without the bound the same card would take 64 MiB.
  EXPECT_EQ(LayoutForShare(64 * kMiB, UINT64_MAX, 100).layout.regionBytes(), 64 * kMiB);
}

}  // namespace
}  // namespace prepare
