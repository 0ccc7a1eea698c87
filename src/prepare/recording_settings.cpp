#include "prepare/recording_settings.h"

#include <algorithm>
#include <ctime>

namespace prepare {

namespace {

bool IsBcd(uint8_t b) { return (b >> 4) <= 9 && (b & 0x0F) <= 9; }

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

bool IsValidClock(const ClockTime& t) {
  return t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60;
}

// One row from its entry; values that do not decode fall back to `today` and 00:00.
TimerRow DecodeTimer(const card::TimerEntry& e, const CivilDate& today) {
  TimerRow row;
  const uint8_t bytes[8] = {e.mode, e.minute, e.hour, e.day, e.month, e.year, e.dur_minutes,
                            e.dur_hours};
  bool valid = std::all_of(std::begin(bytes), std::end(bytes), IsBcd);
  const int mode = card::FromBcd(e.mode);
  valid = valid && mode <= 3;
  row.on = e.mode != 0;
  row.daily = mode == 2;
  row.weekly = mode == 3;

  const CivilDate date{2000 + card::FromBcd(e.year), card::FromBcd(e.month), card::FromBcd(e.day)};
  const ClockTime start{card::FromBcd(e.hour), card::FromBcd(e.minute)};
  const ClockTime duration{card::FromBcd(e.dur_hours), card::FromBcd(e.dur_minutes)};
  const bool dateOk = IsBcd(e.day) && IsBcd(e.month) && IsBcd(e.year) && IsValidDate(date);
  const bool startOk = IsBcd(e.hour) && IsBcd(e.minute) && IsValidClock(start);
  const bool durationOk = IsBcd(e.dur_hours) && IsBcd(e.dur_minutes) && IsValidClock(duration);
  row.date = dateOk ? date : today;
  if (startOk) row.start = start;
  if (durationOk) row.duration = duration;
  row.valid = valid && dateOk && startOk && durationOk;
  return row;
}

}  // namespace

LocalNow LocalNowFromClock() {
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  return LocalNow{CivilDate{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday},
                  ClockTime{tm.tm_hour, tm.tm_min}, tm.tm_sec};
}

bool IsValidDate(const CivilDate& d) {
  return d.year >= 2000 && d.year <= 2099 && d.month >= 1 && d.month <= 12 && d.day >= 1 &&
         d.day <= DaysInMonth(d.year, d.month);
}

int Weekday(const CivilDate& d) {
  // Sakamoto's method: 0 is Sunday.
  static constexpr int kOffset[12] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  const int y = d.month < 3 ? d.year - 1 : d.year;
  return (y + y / 4 - y / 100 + y / 400 + kOffset[d.month - 1] + d.day) % 7;
}

TimerMode TimerRow::mode() const {
  if (!on) return TimerMode::off;
  if (weekly) return TimerMode::weekly;
  return daily ? TimerMode::daily : TimerMode::once;
}

void TimerRow::setMode(TimerMode m) {
  on = m != TimerMode::off;
  daily = m == TimerMode::daily;
  weekly = m == TimerMode::weekly;
}

int QualityPositionOf(uint8_t level) {
  switch (level) {
    case 0: return 2;
    case 2: return 0;
    default: return 1;  // 1, and the reserved 3
  }
}

uint8_t QualityLevelOf(int position) { return uint8_t(2 - std::clamp(position, 0, 2)); }

RecordingSettings LoadSettings(const card::ServiceSector& s, const CivilDate& today) {
  RecordingSettings r;
  r.qualityPosition = QualityPositionOf(s.av_quality_level());
  r.ring = s.rec_mode_flags() & 1;
  r.overlay = s.osd_flags() & 1;
  switch (s.audio_input_conf()) {
    case 1: r.input = AudioInput::micAgc; break;
    case 2: r.input = AudioInput::line; break;
    default: r.input = AudioInput::mic; break;
  }
  // The level is the low four bits; the slider ends at 9.
  r.vox = std::min(s.audio_vox_level() & 0x0F, 9);
  for (int t = 0; t < 3; ++t) r.timers[size_t(t)] = DecodeTimer(s.timer(t), today);
  return r;
}

card::TimerEntry EncodeTimer(const TimerRow& row) {
  card::TimerEntry e;
  e.mode = card::ToBcd(uint8_t(row.mode()));
  e.minute = card::ToBcd(uint8_t(row.start.minute));
  e.hour = card::ToBcd(uint8_t(row.start.hour));
  e.day = card::ToBcd(uint8_t(row.date.day));
  e.month = card::ToBcd(uint8_t(row.date.month));
  e.year = card::ToBcd(uint8_t(row.date.year % 100));
  e.dur_minutes = card::ToBcd(uint8_t(row.duration.minute));
  e.dur_hours = card::ToBcd(uint8_t(row.duration.hour));
  return e;
}

void StoreSettings(const RecordingSettings& r, card::ServiceSector& s) {
  s.set_av_quality_level(QualityLevelOf(r.qualityPosition));
  s.set_rec_mode_flags((s.rec_mode_flags() & ~1u) | (r.ring ? 1u : 0u));
  s.set_osd_flags(uint8_t((s.osd_flags() & ~1u) | (r.overlay ? 1u : 0u)));
  s.set_audio_input_conf(r.input == AudioInput::line ? 2 : r.input == AudioInput::micAgc ? 1 : 0);
  s.set_audio_vox_level(uint8_t(std::clamp(r.vox, 0, 9)));
  for (int t = 0; t < 3; ++t) {
    const TimerRow& row = r.timers[size_t(t)];
    if (!row.valid && !row.edited) continue;  // shown with stand-in values; keep the card's
    s.set_timer(t, EncodeTimer(row));
  }
}

bool MovePastStartToNow(TimerRow& row, const LocalNow& now) {
  if (!row.on) return false;
  // The start is hh:mm:00, so it is already past within its own minute once seconds pass.
  const bool past = row.date < now.date ||
                    (row.date == now.date &&
                     (row.start < now.time || (row.start == now.time && now.second > 0)));
  if (!past) return false;
  row.date = now.date;
  row.start = now.time;
  return true;
}

}  // namespace prepare
