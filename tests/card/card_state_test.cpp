#include "card/card_state.h"

#include <gtest/gtest.h>

using card::CardStateInput;
using card::FormatBytes;

namespace {

CardStateInput MarkedCard(uint32_t regionSectors = 4808704) {
  CardStateInput in;
  in.marked = true;
  in.mediumLabel = "/dev/sdb1";
  in.volumeSectors = 15523840;
  in.N_sectors_in_rsr = regionSectors;
  card::InitServiceSector(in.serviceSector, card::RegionGeometry{3, 2097152, 614400, regionSectors});
  return in;
}

}  // namespace

TEST(FormatBytes, TruncatesToThreeDigitsAndDropsTrailingZeros) {
  EXPECT_EQ(FormatBytes(1610612736), "1.5GB");
  EXPECT_EQ(FormatBytes(2147483648), "2GB");
  EXPECT_EQ(FormatBytes(1900000000), "1.769GB");
  EXPECT_EQ(FormatBytes(1536), "1.5kB");
  EXPECT_EQ(FormatBytes(512), "512B");
  EXPECT_EQ(FormatBytes(0), "0B");
  EXPECT_EQ(FormatBytes(1024 + 10), "1.009kB");  // leading zeros of the fraction kept
  EXPECT_EQ(FormatBytes(1048575), "1023.999kB");
  EXPECT_EQ(FormatBytes(uint64_t(1) << 40), "1024GB");
}

TEST(CardState, UnformattedVolumeShowsAWarningAndItsSize) {
  CardStateInput in;
  in.mediumLabel = "/dev/sdb1 (/media/card)";
  in.volumeSectors = 15523840;
  const card::CardStateView v = card::DescribeCardState(in);
  EXPECT_EQ(v.cardClass, card::CardClass::unformatted);
  EXPECT_EQ(v.description,
            "Сменный носитель /dev/sdb1 (/media/card) не форматирован!\nОбъём 7.402GB");
  EXPECT_EQ(v.img_t, "WARNING");
  for (const auto& q : v.img_q) EXPECT_EQ(q, "EMPTY");
  EXPECT_EQ(v.img_f, "EMPTY");
  EXPECT_EQ(v.img_a, "EMPTY");
  EXPECT_EQ(v.label_a, "");
  EXPECT_EQ(card::DescribeUsage(in, false).text, "====================================");
  EXPECT_EQ(card::DescribeUsage(in, false).fillWidth(200), 0);
}

TEST(CardState, EmptyVolumeAsksForMarking) {
  CardStateInput in;
  in.emptyFat32 = true;
  in.mediumLabel = "/dev/sdb1";
  in.volumeSectors = 2048;
  const card::CardStateView v = card::DescribeCardState(in);
  EXPECT_EQ(v.cardClass, card::CardClass::empty);
  EXPECT_EQ(v.description, "Сменный носитель /dev/sdb1 не размечен!\nОбъём 1MB");
  EXPECT_EQ(v.img_t, "WARNING");
}

TEST(CardState, MarkedImageShowsRecordSpaceOfItsOwnSize) {
  CardStateInput in = MarkedCard();
  in.imageMode = true;
  in.volumeSectors = in.N_sectors_in_rsr;
  const card::CardStateView v = card::DescribeCardState(in);
  EXPECT_EQ(v.description, "Образ карты памяти размечен.\nПод записи отведено 2.292GB из 2.292GB");
  // Defaults: three stars, overlay, ring, microphone, no timer.
  EXPECT_EQ(v.img_q, (std::array<std::string, 4>{"STAR", "STAR", "STAR", "OSD"}));
  EXPECT_EQ(v.img_f, "RING");
  EXPECT_EQ(v.img_a, "MIC");
  EXPECT_EQ(v.label_a, "MIC");
  EXPECT_EQ(v.img_t, "EMPTY");
}

TEST(CardState, SettingsBecomeIcons) {
  CardStateInput in = MarkedCard();
  card::ServiceSector& s = in.serviceSector;
  s.set_av_quality_level(2);
  s.set_rec_mode_flags(0);
  s.set_osd_flags(1);
  s.set_audio_input_conf(2);
  s.set_audio_vox_level(3);
  card::CardStateView v = card::DescribeCardState(in);
  EXPECT_EQ(v.img_q, (std::array<std::string, 4>{"STAR", "EMPTY", "EMPTY", "OSD"}));
  EXPECT_EQ(v.img_f, "WALL");
  EXPECT_EQ(v.label_a, "LINE, Vox 3");
  EXPECT_EQ(v.img_t, "EMPTY");

  s.set_av_quality_level(1);
  s.set_osd_flags(0);
  s.set_audio_input_conf(5);   // AND 3 = 1
  s.set_audio_vox_level(0xF0); // low nibble 0: no VOX
  card::TimerEntry t;
  t.mode = 2;
  s.set_timer(2, t);
  v = card::DescribeCardState(in);
  EXPECT_EQ(v.img_q, (std::array<std::string, 4>{"STAR", "STAR", "EMPTY", "EMPTY"}));
  EXPECT_EQ(v.label_a, "AGC");
  EXPECT_EQ(v.img_t, "CLOCK");

  s.set_av_quality_level(3);
  EXPECT_EQ(card::DescribeCardState(in).img_q[2], "STAR");
  s.set_timer(2, card::TimerEntry{});
  s.set_timer(3, t);  // the fourth timer is not looked at
  EXPECT_EQ(card::DescribeCardState(in).img_t, "EMPTY");
}

TEST(CardUsage, UsedAndFreeTextsAndTheBar) {
  CardStateInput in = MarkedCard(1 << 20);  // 512 MiB region
  card::ServiceSector& s = in.serviceSector;
  EXPECT_EQ(card::DescribeUsage(in, false).text, " Заполн.: 0B из 512MB");  // unset pointers
  s.set_rec_bgn_sectnum(1000);
  s.set_rec_end_sectnum(1000 + (1 << 18));  // a quarter
  card::UsageView used = card::DescribeUsage(in, false);
  EXPECT_EQ(used.text, " Заполн.: 128MB из 512MB");
  EXPECT_EQ(card::DescribeUsage(in, true).text, " Своб.: 384MB из 512MB");
  EXPECT_EQ(used.fillWidth(202), 50);

  // Wrapped ring: begin after end.
  s.set_rec_bgn_sectnum(1000 + (1 << 18));
  s.set_rec_end_sectnum(1000);
  EXPECT_EQ(card::DescribeUsage(in, false).text, " Заполн.: 384MB из 512MB");
}

TEST(CardUsage, DamagedPointersStayWithinTheRing) {
  CardStateInput in = MarkedCard(1 << 20);
  in.serviceSector.set_rec_bgn_sectnum(0);
  in.serviceSector.set_rec_end_sectnum(0x7FFFFFFF);
  const card::UsageView u = card::DescribeUsage(in, true);
  EXPECT_EQ(u.text, " Своб.: 0B из 512MB");
  EXPECT_EQ(u.fillWidth(102), 100);
  in.N_sectors_in_rsr = 0;
  EXPECT_EQ(card::DescribeUsage(in, false).fillWidth(102), 0);
}
