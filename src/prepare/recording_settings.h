// The recorder's recording settings as the settings window and `korvan-cli settings` edit
// them, mapped from the card service sector and back: quality slider position, VOX level,
// ring recording, date/time overlay, audio input and the first three timers.
//
// Loading never fails: whatever the sector holds becomes a valid setting (an unknown input is
// the microphone, quality level 3 is the middle position). A timer entry that does not decode
// to a valid date, time and duration is shown with today's date and sane values, but its eight
// bytes are written back unchanged unless its row was edited. Only the edited fields of the
// sector change on store; every other byte (the fourth timer included) is kept.
// Plain values; any thread.
#pragma once

#include <array>
#include <compare>
#include <cstdint>

#include "card/servsectclass.h"

namespace prepare {

struct CivilDate {
  int year = 2000, month = 1, day = 1;
  bool operator==(const CivilDate&) const = default;
  auto operator<=>(const CivilDate&) const = default;
};

// A time of day to the minute (also the duration of a timer).
struct ClockTime {
  int hour = 0, minute = 0;
  bool operator==(const ClockTime&) const = default;
  auto operator<=>(const ClockTime&) const = default;
};

// The local date and time the "move a past start to now" rule compares with.
struct LocalNow {
  CivilDate date;
  ClockTime time;
  int second = 0;
};

// The computer's local date and time now.
LocalNow LocalNowFromClock();

bool IsValidDate(const CivilDate& d);
// 0 Sunday .. 6 Saturday.
int Weekday(const CivilDate& d);

enum class TimerMode { off = 0, once = 1, daily = 2, weekly = 3 };
enum class AudioInput { mic, micAgc, line };

struct TimerRow {
  bool on = false, daily = false, weekly = false;
  CivilDate date;
  ClockTime start, duration;
  // False when the card's entry did not decode (bad BCD, impossible date or time, unknown
  // mode); such a row is stored back byte for byte unless `edited`.
  bool valid = true;
  bool edited = false;

  TimerMode mode() const;
  void setMode(TimerMode m);
};

struct RecordingSettings {
  int qualityPosition = 2;  // 0 low, 1 medium, 2 high
  int vox = 0;              // 0 off, 1..9
  bool ring = true;
  bool overlay = true;
  AudioInput input = AudioInput::mic;
  std::array<TimerRow, 3> timers;
};

// av_quality_level 0, 1, 2, 3 -> position 2, 1, 0, 1; anything else the middle position.
int QualityPositionOf(uint8_t level);
// Position 0, 1, 2 -> level 2, 1, 0.
uint8_t QualityLevelOf(int position);

// The settings the sector holds; rows that do not decode take `today` as their date.
RecordingSettings LoadSettings(const card::ServiceSector& s, const CivilDate& today);
// Writes `settings` into the sector's setting fields, keeping all other bits and bytes.
void StoreSettings(const RecordingSettings& settings, card::ServiceSector& s);

// The timer entry (raw BCD) of a row; `row` must hold valid values.
card::TimerEntry EncodeTimer(const TimerRow& row);

// A row just switched on whose start lies before `now` starts now instead (date today, start
// the current minute). True when it moved.
bool MovePastStartToNow(TimerRow& row, const LocalNow& now);

}  // namespace prepare
