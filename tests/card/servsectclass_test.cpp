#include "card/servsectclass.h"

#include <gtest/gtest.h>

using card::ServiceSector;

namespace {

card::RegionGeometry ThreeFileGeometry() {
  return card::RegionGeometry{3, 2097152, 614400, 4808704};
}

}  // namespace

TEST(ServiceSector, InitialiserWritesTheDefaults) {
  ServiceSector s;
  s.bytes().fill(0x5A);  // every byte must be overwritten
  card::InitServiceSector(s, ThreeFileGeometry());
  const uint8_t* p = s.data();
  const uint8_t magic[] = {0xC1, 0x4F, 0xEB, 0x41, 0x10, 0xCE, 0x81, 0x0F};
  EXPECT_EQ(0, memcmp(p, magic, 8));
  EXPECT_EQ(s.format_version(), 203u);                 // CB 00 00 00
  EXPECT_EQ(s.serv_label_number(), 0xFFFFFFFFu);
  EXPECT_EQ(p[0x15], 1);                               // month
  EXPECT_EQ(p[0x16], 1);                               // day
  EXPECT_EQ(p[0x1A], 1);                               // date overlay on
  EXPECT_EQ(s.video_flags(), 0xCCCA);
  EXPECT_EQ(p[0x3D], 0x77);
  EXPECT_EQ(s.audio_param_b(), 2);
  EXPECT_EQ(s.audio_param_c(), 16);
  EXPECT_EQ(s.rec_mode_flags(), 1u);                   // ring recording
  EXPECT_EQ(s.N_sectors_in_rsr(), 4808704u);
  EXPECT_EQ(s.N_sectors_in_standard_rsf(), 2097152u);
  EXPECT_EQ(s.N_sectors_in_the_last_rsf(), 614400u);
  EXPECT_EQ(s.N_rsf(), 3u);
  EXPECT_EQ(s.rec_bgn_sectnum(), 0xFFFFFFFFu);
  EXPECT_EQ(s.rec_end_sectnum(), 0xFFFFFFFFu);
  const uint8_t ac5f[] = {0xAC, 0x5F, 0xEE, 0xF7};     // reserved word at 0x148
  EXPECT_EQ(0, memcmp(p + 0x148, ac5f, 4));
  EXPECT_EQ(s.rsr_sectnum(), 0xFFFFFFFFu);
  for (size_t i = 0x180; i < 0x1A0; ++i) {
    const bool dayOrMonth = (i % 8 == 3) || (i % 8 == 4);
    EXPECT_EQ(p[i], dayOrMonth ? 1 : 0) << "timer byte " << i;
  }
  for (size_t i = 0x1A0; i < 0x200; ++i) EXPECT_EQ(p[i], 0) << i;
  for (size_t i = 0x80; i < 0x100; ++i) EXPECT_EQ(p[i], 0) << i;
  EXPECT_FALSE(s.any_timer_set());
  EXPECT_EQ(card::FormatStamp(s), "2000-01-01_00-00-00");
}

TEST(ServiceSector, FormatStampPadsFieldsButNotTheYear) {
  ServiceSector s;
  s.set_ye(14), s.set_mo(12), s.set_md(25), s.set_ho(7), s.set_mi(5), s.set_se(30);
  EXPECT_EQ(card::FormatStamp(s), "2014-12-25_07-05-30");
  s.set_ye(255), s.set_se(100);
  EXPECT_EQ(card::FormatStamp(s), "2255-12-25_07-05-100");
}

TEST(ServiceSector, VersionAboveLimitIsRejectedOnlyWithMagic) {
  ServiceSector s;
  s.set_format_version(204);
  EXPECT_FALSE(card::IsInformationSector(s).hasMagic);
  EXPECT_TRUE(card::IsInformationSector(s).acceptable);
  s.set_magic();
  EXPECT_FALSE(card::IsInformationSector(s).acceptable);
  s.set_format_version(203);
  EXPECT_TRUE(card::IsInformationSector(s).acceptable);
  EXPECT_TRUE(card::IsInformationSector(s).hasMagic);
}

TEST(ServiceSector, SameRecordNeedsIdentityAndLabelDistance) {
  ServiceSector a, b;
  for (ServiceSector* s : {&a, &b}) {
    s->set_imei_sn(77), s->set_poweron_uid0(5), s->set_startrec_cycles(0x1'0000'0001ull);
  }
  const uint32_t n = 100;
  a.set_serv_label_number(0xFFFFFFFF);
  b.set_serv_label_number(0);  // label wraps too
  EXPECT_TRUE(card::SameRecord(a, n - 1, b, 0, n));  // across the ring seam: distance 1
  b.set_serv_label_number(1);
  EXPECT_FALSE(card::SameRecord(a, n - 1, b, 0, n));  // labels 2 apart for neighbours
  EXPECT_TRUE(card::SameRecord(a, n - 1, b, 1, n));
  b.set_startrec_cycles(0x2'0000'0001ull);            // high word of the 64-bit field differs
  EXPECT_FALSE(card::SameRecord(a, n - 1, b, 1, n));
}

TEST(ServiceSector, RecstateTextAndBcd) {
  EXPECT_EQ(card::RecstateText(5), "(be)");
  EXPECT_EQ(card::RecstateText(0), "()");
  EXPECT_EQ(card::RecstateText(7), "(bce)");
  EXPECT_EQ(card::FromBcd(0x59), 59);
  EXPECT_EQ(card::ToBcd(59), 0x59);
  EXPECT_EQ(card::ToBcd(7), 0x07);
}
