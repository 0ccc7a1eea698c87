#include "cli/settings_values.h"

#include <cstdio>
#include <sstream>
#include <vector>

namespace cli {

namespace {

using prepare::AudioInput;
using prepare::TimerMode;

constexpr const char* kQualityNames[3] = {"low", "medium", "high"};
constexpr const char* kModeNames[4] = {"off", "once", "daily", "weekly"};

const char* InputName(AudioInput in) {
  return in == AudioInput::line ? "line" : in == AudioInput::micAgc ? "mic-agc" : "mic";
}

std::string DateText(const prepare::CivilDate& d) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
  return text;
}

std::string ClockText(const prepare::ClockTime& t) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d:%02d", t.hour % 100, t.minute % 100);
  return text;
}

// Exactly `digits` decimal digits.
bool Digits(const std::string& s, size_t pos, size_t digits, int& out) {
  if (pos + digits > s.size()) return false;
  out = 0;
  for (size_t i = pos; i < pos + digits; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    out = out * 10 + (s[i] - '0');
  }
  return true;
}

bool ParseDate(const std::string& s, prepare::CivilDate& d) {
  return s.size() == 10 && s[4] == '-' && s[7] == '-' && Digits(s, 0, 4, d.year) &&
         Digits(s, 5, 2, d.month) && Digits(s, 8, 2, d.day) && prepare::IsValidDate(d);
}

bool ParseClock(const std::string& s, prepare::ClockTime& t) {
  return s.size() == 5 && s[2] == ':' && Digits(s, 0, 2, t.hour) && Digits(s, 3, 2, t.minute) &&
         t.hour < 24 && t.minute < 60;
}

bool ParseOnOff(const std::string& v, bool& out) {
  if (v == "on") out = true;
  else if (v == "off") out = false;
  else return false;
  return true;
}

template <size_t N>
int IndexOf(const char* const (&names)[N], const std::string& v) {
  for (size_t i = 0; i < N; ++i)
    if (v == names[i]) return int(i);
  return -1;
}

std::vector<std::string> Split(const std::string& s, char sep) {
  std::vector<std::string> parts;
  std::stringstream in(s);
  std::string part;
  while (std::getline(in, part, sep)) parts.push_back(part);
  if (!s.empty() && s.back() == sep) parts.push_back("");
  return parts;
}

bool ParseTimer(const std::string& v, prepare::TimerRow& row) {
  const std::vector<std::string> parts = Split(v, ',');
  if (parts.size() != 4) return false;
  const int mode = IndexOf(kModeNames, parts[0]);
  prepare::TimerRow out;
  if (mode < 0 || !ParseDate(parts[1], out.date) || !ParseClock(parts[2], out.start) ||
      !ParseClock(parts[3], out.duration))
    return false;
  out.setMode(TimerMode(mode));
  out.edited = true;
  row = out;
  return true;
}

}  // namespace

bool ApplySettingAssignment(prepare::RecordingSettings& settings, const std::string& assignment,
                            std::string& error) {
  const size_t eq = assignment.find('=');
  const std::string key = assignment.substr(0, eq);
  const std::string value = eq == std::string::npos ? "" : assignment.substr(eq + 1);
  prepare::RecordingSettings s = settings;
  bool ok = eq != std::string::npos;
  if (!ok) {
    error = "expected KEY=VALUE, got '" + assignment + "'";
    return false;
  }
  if (key == "quality") {
    const int i = IndexOf(kQualityNames, value);
    ok = i >= 0;
    s.qualityPosition = i;
    error = "quality must be low, medium or high";
  } else if (key == "vox") {
    ok = value.size() == 1 && value[0] >= '0' && value[0] <= '9';
    s.vox = ok ? value[0] - '0' : 0;
    error = "vox must be 0 (off) to 9";
  } else if (key == "ring") {
    ok = ParseOnOff(value, s.ring);
    error = "ring must be on or off";
  } else if (key == "overlay") {
    ok = ParseOnOff(value, s.overlay);
    error = "overlay must be on or off";
  } else if (key == "input") {
    ok = true;
    if (value == "mic") s.input = AudioInput::mic;
    else if (value == "mic-agc") s.input = AudioInput::micAgc;
    else if (value == "line") s.input = AudioInput::line;
    else ok = false;
    error = "input must be mic, mic-agc or line";
  } else if (key.size() == 6 && key.compare(0, 5, "timer") == 0 && key[5] >= '1' &&
             key[5] <= '3') {
    ok = ParseTimer(value, s.timers[size_t(key[5] - '1')]);
    error = key + " must be MODE,YYYY-MM-DD,HH:MM,HH:MM with MODE off, once, daily or weekly "
                  "and a date from 2000 to 2099";
  } else {
    ok = false;
    error = "unknown setting '" + key + "' (quality, vox, ring, overlay, input, timer1..timer3)";
  }
  if (!ok) return false;
  error.clear();
  settings = s;
  return true;
}

nlohmann::ordered_json SettingsJson(const prepare::RecordingSettings& s) {
  nlohmann::ordered_json j;
  j["quality"] = kQualityNames[s.qualityPosition];
  j["vox"] = s.vox;
  j["ring"] = s.ring;
  j["overlay"] = s.overlay;
  j["input"] = InputName(s.input);
  nlohmann::ordered_json timers = nlohmann::ordered_json::array();
  for (const prepare::TimerRow& t : s.timers)
    timers.push_back({{"mode", kModeNames[int(t.mode())]},
                      {"date", DateText(t.date)},
                      {"start", ClockText(t.start)},
                      {"duration", ClockText(t.duration)},
                      {"valid", t.valid}});
  j["timers"] = timers;
  return j;
}

std::string SettingsText(const prepare::RecordingSettings& s) {
  std::string out = std::string("quality: ") + kQualityNames[s.qualityPosition] + "\n";
  out += "vox: " + std::to_string(s.vox) + "\n";
  out += std::string("ring: ") + (s.ring ? "on" : "off") + "\n";
  out += std::string("overlay: ") + (s.overlay ? "on" : "off") + "\n";
  out += std::string("input: ") + InputName(s.input) + "\n";
  for (size_t i = 0; i < s.timers.size(); ++i) {
    const prepare::TimerRow& t = s.timers[i];
    out += "timer" + std::to_string(i + 1) + ": " + kModeNames[int(t.mode())] + "," +
           DateText(t.date) + "," + ClockText(t.start) + "," + ClockText(t.duration);
    if (!t.valid) out += " (the card's entry is not a valid date and time; kept as it is)";
    out += "\n";
  }
  return out;
}

}  // namespace cli
