#include "records/service_list_lines.h"

#include <gtest/gtest.h>

#include "support/memory_region.h"

namespace {

using records::BlockLine;
using records::CorrectBlockCount;
using records::CorrectFirstBlock;

// Gives the information sector of block b of `region` the magic and label 1000 + b.
void LabelBlocks(testsupport::MemoryRegion& region, uint32_t blocks) {
  for (uint32_t b = 0; b < blocks; ++b) {
    card::ServiceSector s;
    s.set_magic();
    s.set_serv_label_number(1000 + b);
    std::memcpy(region.sector(b * 256 + 255), s.data(), 512);
  }
}

TEST(BlockLine, MatchesTheServiceListExample) {
  card::ServiceSector s;
  s.set_poweron_uid0(0x2A);
  s.set_serv_label_number(420);
  s.set_recstate(2);
  s.set_cycles(123456789);
  EXPECT_EQ(BlockLine(0x1A4, true, s, false),
            "0x000001A4 hdr=1 uid0=0x0000002A label=420 recstate=(c) cycles=0x00000000075BCD15");
}

TEST(BlockLine, BlockListFormCarriesSerialAndSignedLabel) {
  card::ServiceSector s;
  s.set_imei_sn(0xDEADBEEF);
  s.set_serv_label_number(0xFFFFFFFF);
  s.set_recstate(5);
  EXPECT_EQ(BlockLine(7, false, s, true),
            "0x00000007 hdr=0 imei_sn=0xDEADBEEF uid0=0x00000000 label=-1 recstate=(be) "
            "cycles=0x0000000000000000");
}

TEST(ServiceListInput, FirstBlockWrapsIntoTheRing) {
  EXPECT_EQ(CorrectFirstBlock("-1", 1000), 999u);
  EXPECT_EQ(CorrectFirstBlock("-2001", 1000), 999u);
  EXPECT_EQ(CorrectFirstBlock("1000", 1000), 0u);
  EXPECT_EQ(CorrectFirstBlock("2500", 1000), 500u);
  EXPECT_EQ(CorrectFirstBlock(" 42 ", 1000), 42u);
  EXPECT_EQ(CorrectFirstBlock("-2147483648", 1000), 352u);
}

TEST(ServiceListInput, FirstBlockThatIsNoNumberIsZero) {
  EXPECT_EQ(CorrectFirstBlock("abc", 1000), 0u);
  EXPECT_EQ(CorrectFirstBlock("", 1000), 0u);
  EXPECT_EQ(CorrectFirstBlock("12x", 1000), 0u);
  EXPECT_EQ(CorrectFirstBlock("99999999999", 1000), 0u);  // beyond 32 bits
  EXPECT_EQ(CorrectFirstBlock("5", 0), 0u);
}

TEST(ServiceListInput, CountIsLimitedToTheRing) {
  EXPECT_EQ(CorrectBlockCount("5000", 1000), 1000u);
  EXPECT_EQ(CorrectBlockCount("text", 1000), 128u);
  EXPECT_EQ(CorrectBlockCount("-3", 1000), 128u);
  EXPECT_EQ(CorrectBlockCount("0", 1000), 0u);
  EXPECT_EQ(CorrectBlockCount("17", 1000), 17u);
  // Never more lines than the ring has blocks, whatever the default.
  EXPECT_EQ(CorrectBlockCount("text", 100), 100u);
  EXPECT_EQ(CorrectBlockCount("-3", 100), 100u);
}

TEST(RingListing, WrapsToBlockZeroAfterTheLastBlock) {
  testsupport::MemoryRegion region(4 * 256);
  LabelBlocks(region, 4);
  const auto lines = records::ListRingBlocks(region, 4, CorrectFirstBlock("-1", 4), 3);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].substr(0, 27), "0x00000003 hdr=1 uid0=0x000");
  EXPECT_NE(lines[0].find("label=1003"), std::string::npos);
  EXPECT_NE(lines[1].find("0x00000000 hdr=1"), std::string::npos);
  EXPECT_NE(lines[2].find("label=1001"), std::string::npos);
}

TEST(RingListing, UnreadableBlockIsListedWithoutHeader) {
  testsupport::MemoryRegion region(3 * 256);
  LabelBlocks(region, 3);
  region.fail_sector(1 * 256 + 255);
  const auto lines = records::ListRingBlocks(region, 3, 0, 3);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], "0x00000001 hdr=0 read failed");
  EXPECT_NE(lines[2].find("hdr=1"), std::string::npos);
  // A ring larger than the region (damaged service sector) lists its far blocks as unreadable.
  EXPECT_EQ(records::ListRingBlocks(region, 10, 9, 1)[0], "0x00000009 hdr=0 read failed");
}

TEST(RecordBlockListing, OneBlockRecordGivesOneLine) {
  testsupport::MemoryRegion region(5 * 256);
  LabelBlocks(region, 5);
  records::TRecord r;
  r.bss_index = r.ess_index = 2;
  const auto lines = records::ListRecordBlocks(region, 5, r);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("imei_sn=0x"), std::string::npos);
  EXPECT_NE(lines[0].find("label=1002"), std::string::npos);
}

TEST(RecordBlockListing, WrappedRecordRunsThroughTheRingEnd) {
  testsupport::MemoryRegion region(5 * 256);
  LabelBlocks(region, 5);
  records::TRecord r;
  r.bss_index = 3;
  r.ess_index = 1;
  const auto lines = records::ListRecordBlocks(region, 5, r);
  ASSERT_EQ(lines.size(), 4u);  // blocks 3, 4, 0, 1
  EXPECT_NE(lines[1].find("label=1004"), std::string::npos);
  EXPECT_NE(lines[3].find("label=1001"), std::string::npos);
  r.ess_index = 9;  // outside the ring: nothing listed rather than reading at random
  EXPECT_TRUE(records::ListRecordBlocks(region, 5, r).empty());
}

TEST(RingSummary, ShowsDecimalAndHex) {
  EXPECT_EQ(records::RingSummary(1000, 5, 255),
            "N_s_s = 1000 = 0x000003E8, s_s_bgn = 5 = 0x00000005, s_s_end = 255 = 0x000000FF");
}

}  // namespace
