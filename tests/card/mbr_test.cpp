#include "card/mbr.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/endian.h"

namespace {

struct RecordingSink final : platform::NoticeSink {
  std::vector<std::string> texts;
  void notice(platform::NoticeKind, const std::string& text) override { texts.push_back(text); }
};

base::Sector DiskWithTwoPartitions() {
  base::Sector s{};
  s[0x1BE + 4] = 0x83;
  base::store_le32(&s[0x1BE + 8], 2048);
  s[0x1CE + 4] = 0x0C;
  base::store_le32(&s[0x1CE + 8], 8192);
  base::store_le16(&s[0x1FE], 0xAA55);
  return s;
}

}  // namespace

TEST(PartitionStart, TakesTheEntryOfThePartitionNumber) {
  RecordingSink sink;
  const base::Sector s = DiskWithTwoPartitions();
  EXPECT_EQ(card::PartitionStartFromMbr(s, true, 1, sink), 2048u);
  EXPECT_EQ(card::PartitionStartFromMbr(s, true, 2, sink), 8192u);  // 0x1CE + 8
  EXPECT_TRUE(sink.texts.empty());
  EXPECT_EQ(card::FirstFatPartition(s), 2);
}

TEST(PartitionStart, VolumeBootSectorMeansNoTableEvenWithoutSignature) {
  RecordingSink sink;
  base::Sector s{};
  s[0] = 0xEB;
  s[1] = 0x58;
  s[2] = 0x90;
  base::store_le32(&s[0x1BE + 8], 777);  // would be used if the table were read
  EXPECT_EQ(card::PartitionStartFromMbr(s, true, 1, sink), 0u);
  ASSERT_EQ(sink.texts.size(), 1u);
  EXPECT_EQ(sink.texts[0], "ERROR OPENING MEDIA: BIOS SIGNATURE NOT FOUND IN MBR");
}

TEST(PartitionStart, MissingSignatureIsReportedAndTheEntryUsedAnyway) {
  RecordingSink sink;
  base::Sector s = DiskWithTwoPartitions();
  s[0x1FE] = 0;
  EXPECT_EQ(card::PartitionStartFromMbr(s, true, 2, sink), 8192u);
  EXPECT_EQ(sink.texts.size(), 1u);
  // A failed read is not reported as a missing signature.
  sink.texts.clear();
  EXPECT_EQ(card::PartitionStartFromMbr(base::Sector{}, false, 1, sink), 0u);
  EXPECT_TRUE(sink.texts.empty());
}

TEST(PartitionStart, NumbersOutsideTheTableGiveZeroAndANotice) {
  const base::Sector s = DiskWithTwoPartitions();
  for (int p : {0, 5, -1, 1000}) {
    RecordingSink sink;
    EXPECT_EQ(card::PartitionStartFromMbr(s, true, p, sink), 0u) << p;
    ASSERT_EQ(sink.texts.size(), 1u) << p;
    EXPECT_EQ(sink.texts[0], "ERROR OPENING MEDIA: CANNOT GET DEVICE NUMBER");
  }
}
