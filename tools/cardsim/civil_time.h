// Calendar date and time for the simulated recorder's clock (no time zone; the recorder keeps
// local time and the GPS fix is stamped with the same value).
//
// Plain value type and pure functions; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace cardsim {

struct CivilTime {
  int year = 2014, month = 3, day = 5, hour = 14, minute = 7, second = 9;
  bool operator==(const CivilTime&) const = default;
};

// Seconds since 2000-01-01 00:00:00 and back.
int64_t ToSeconds(const CivilTime& t);
CivilTime FromSeconds(int64_t seconds);
inline CivilTime AddSeconds(const CivilTime& t, int64_t s) { return FromSeconds(ToSeconds(t) + s); }

// "YYYY-MM-DD hh:mm:ss" or with a "T" between date and time; years 2000..2255.
std::optional<CivilTime> ParseCivilTime(const std::string& text);
std::string FormatCivilTime(const CivilTime& t);  // "YYYY-MM-DD hh:mm:ss"

}  // namespace cardsim
