// The settings model: what the window shows for each service-sector value, and what a save
// writes back, byte for byte.
#include <gtest/gtest.h>

#include "prepare/recording_settings.h"

using card::ServiceSector;
using card::TimerEntry;
using prepare::AudioInput;
using prepare::CivilDate;
using prepare::LoadSettings;
using prepare::StoreSettings;
using prepare::TimerMode;

namespace {

const CivilDate kToday{2026, 12, 8};

ServiceSector Defaults() {
  ServiceSector s;
  card::InitServiceSector(s, card::RegionGeometry{2, 8192, 8192, 16384});
  return s;
}

ServiceSector RoundTrip(const ServiceSector& s) {
  ServiceSector out = s;
  StoreSettings(LoadSettings(s, kToday), out);
  return out;
}

}  // namespace

TEST(RecordingSettings, QualityLevelsMapToReversedPositions) {
  ServiceSector s = Defaults();
  const int expected[4] = {2, 1, 0, 1};
  for (uint8_t level = 0; level < 4; ++level) {
    s.set_av_quality_level(level);
    EXPECT_EQ(LoadSettings(s, kToday).qualityPosition, expected[level]) << int(level);
  }
  // The reserved level 3 shows as medium and is saved back as 1.
  s.set_av_quality_level(3);
  EXPECT_EQ(RoundTrip(s).av_quality_level(), 1);
  for (int pos = 0; pos < 3; ++pos) EXPECT_EQ(prepare::QualityLevelOf(pos), 2 - pos);
}

TEST(RecordingSettings, AudioInputAndAgc) {
  ServiceSector s = Defaults();
  s.set_audio_input_conf(1);
  prepare::RecordingSettings r = LoadSettings(s, kToday);
  EXPECT_EQ(r.input, AudioInput::micAgc);
  r.input = AudioInput::line;
  StoreSettings(r, s);
  EXPECT_EQ(s.audio_input_conf(), 2);
  s.set_audio_input_conf(7);  // unknown: microphone without AGC, saved as 0
  EXPECT_EQ(LoadSettings(s, kToday).input, AudioInput::mic);
  EXPECT_EQ(RoundTrip(s).audio_input_conf(), 0);
}

TEST(RecordingSettings, FlagBitsChangeAloneAndOtherBytesStay) {
  ServiceSector s = Defaults();
  s.set_rec_mode_flags(0xF0F0F0F1);
  s.set_osd_flags(0xA5);
  s.set_audio_vox_level(0x14);  // level in the low nibble
  prepare::RecordingSettings r = LoadSettings(s, kToday);
  EXPECT_TRUE(r.ring);
  EXPECT_TRUE(r.overlay);
  EXPECT_EQ(r.vox, 4);
  r.ring = false;
  r.overlay = false;
  ServiceSector out = s;
  StoreSettings(r, out);
  EXPECT_EQ(out.rec_mode_flags(), 0xF0F0F0F0u);
  EXPECT_EQ(out.osd_flags(), 0xA4);
  EXPECT_EQ(out.audio_vox_level(), 4);
  // Nothing outside the edited fields moved.
  for (size_t i = 0; i < 512; ++i)
    if (i != 0x58 && i != 0x1A && i != 0x51) {
      EXPECT_EQ(out.bytes()[i], s.bytes()[i]) << i;
    }
}

TEST(RecordingSettings, TimerStoredAsPackedBcdWithModeFormula) {
  ServiceSector s = Defaults();
  prepare::RecordingSettings r = LoadSettings(s, kToday);
  prepare::TimerRow& row = r.timers[1];
  row.setMode(TimerMode::weekly);
  row.date = {2015, 12, 31};
  row.start = {23, 59};
  row.duration = {1, 30};
  r.timers[2].setMode(TimerMode::daily);
  StoreSettings(r, s);
  const uint8_t* t = &s.bytes()[0x188];
  EXPECT_EQ(std::vector<uint8_t>(t, t + 8),
            (std::vector<uint8_t>{0x03, 0x59, 0x23, 0x31, 0x12, 0x15, 0x30, 0x01}));
  EXPECT_EQ(s.timer(2).mode, 2);
  EXPECT_EQ(s.timer(0).mode, 0);
  EXPECT_EQ(LoadSettings(s, kToday).timers[1].mode(), TimerMode::weekly);
}

TEST(RecordingSettings, OffTimerKeepsItsDateTimeAndDuration) {
  ServiceSector s = Defaults();
  s.set_timer(0, TimerEntry{0x01, 0x45, 0x07, 0x28, 0x02, 0x24, 0x15, 0x02});
  prepare::RecordingSettings r = LoadSettings(s, kToday);
  r.timers[0].on = false;
  StoreSettings(r, s);
  const TimerEntry e = s.timer(0);
  EXPECT_EQ(e.mode, 0);
  EXPECT_EQ(e.minute, 0x45);
  EXPECT_EQ(e.day, 0x28);
  EXPECT_EQ(e.year, 0x24);
  EXPECT_EQ(e.dur_minutes, 0x15);
}

TEST(RecordingSettings, InvalidTimerEntryShowsTodayAndIsKeptUnlessEdited) {
  ServiceSector s = Defaults();
  const TimerEntry bad{0x01, 0x30, 0x10, 0x01, 0x00, 0x15, 0x00, 0x01};  // month 0
  const TimerEntry badBcd{0x02, 0x5A, 0x10, 0x31, 0x02, 0x15, 0x00, 0x01};  // 31 Feb, 0x5A
  s.set_timer(0, bad);
  s.set_timer(1, badBcd);
  s.set_timer(3, TimerEntry{0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99});
  prepare::RecordingSettings r = LoadSettings(s, kToday);
  EXPECT_FALSE(r.timers[0].valid);
  EXPECT_EQ(r.timers[0].date, kToday);
  EXPECT_TRUE(r.timers[0].on);
  EXPECT_EQ(r.timers[0].start, (prepare::ClockTime{10, 30}));
  EXPECT_FALSE(r.timers[1].valid);
  EXPECT_TRUE(r.timers[1].daily);
  EXPECT_TRUE(r.timers[2].valid);

  ServiceSector out = RoundTrip(s);
  EXPECT_EQ(out.bytes(), s.bytes());  // nothing edited: every byte kept, slot 4 included

  r.timers[0].edited = true;
  StoreSettings(r, out);
  EXPECT_EQ(out.timer(0).month, 0x12);  // today's date written once the row was edited
  EXPECT_EQ(out.timer(0).day, 0x08);
  EXPECT_EQ(out.timer(0).year, 0x26);
  EXPECT_EQ(out.timer(1).minute, 0x5A);
}

TEST(RecordingSettings, ValidDatesAndWeekdays) {
  EXPECT_TRUE(prepare::IsValidDate({2016, 2, 29}));
  EXPECT_FALSE(prepare::IsValidDate({2015, 2, 29}));
  EXPECT_FALSE(prepare::IsValidDate({2000, 0, 1}));
  EXPECT_FALSE(prepare::IsValidDate({2100, 1, 1}));
  EXPECT_EQ(prepare::Weekday({2015, 12, 31}), 4);  // Thursday
  EXPECT_EQ(prepare::Weekday({2000, 1, 2}), 0);    // Sunday
  EXPECT_EQ(prepare::Weekday({2026, 12, 12}), 6);  // Saturday
}

TEST(RecordingSettings, PastStartMovesToNowFutureStartStays) {
  const prepare::LocalNow now{{2026, 12, 8}, {11, 40}, 15};
  prepare::TimerRow past;
  past.on = true;
  past.date = {2026, 12, 8};
  past.start = {9, 0};
  EXPECT_TRUE(prepare::MovePastStartToNow(past, now));
  EXPECT_EQ(past.date, now.date);
  EXPECT_EQ(past.start, now.time);

  prepare::TimerRow yesterday = past;
  yesterday.date = {2026, 12, 7};
  yesterday.start = {23, 0};
  EXPECT_TRUE(prepare::MovePastStartToNow(yesterday, now));

  prepare::TimerRow future = past;
  future.start = {11, 41};
  EXPECT_FALSE(prepare::MovePastStartToNow(future, now));
  EXPECT_EQ(future.start, (prepare::ClockTime{11, 41}));

  prepare::TimerRow off = yesterday;
  off.on = false;
  off.date = {2020, 1, 1};
  EXPECT_FALSE(prepare::MovePastStartToNow(off, now));
}
