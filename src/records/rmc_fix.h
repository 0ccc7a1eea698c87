// The GPS fix of an information sector: its 64-byte gps_rmc field holds the body of an NMEA
// 0183 RMC sentence from its first comma on (time, status, latitude, N/S, longitude, E/W,
// speed in knots, course, date, then optional fields), not terminated inside the field.
//
// ParseRmc is strict: a position is reported only for status A with every field up to the
// date well formed (a cut, empty or malformed time, position or date gives none), so a
// position is never made up. Speed and course may be empty (unknown), but a malformed one
// rejects the fix. Pure functions over caller-owned bytes, never reading past the span; any
// thread.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace records {

struct GpsFix {
  int year = 2000, month = 1, day = 1;  // UTC date of the fix
  int hour = 0, minute = 0;             // UTC time of the fix
  double second = 0;                    // with its fraction
  double latitude = 0;                  // degrees, south negative
  double longitude = 0;                 // degrees, west negative
  std::optional<double> speedKnots;     // empty when the field is empty
  std::optional<double> courseDeg;

  // Seconds since 1970-01-01 00:00:00 UTC, fraction included.
  double UnixSeconds() const;
  bool operator==(const GpsFix&) const = default;
};

struct RmcReading {
  // 'A' or 'V' as the status field says, 0 when the body is unreadable or the field is empty.
  char status = 0;
  // Present only for a complete, well-formed body with status A.
  std::optional<GpsFix> fix;
};

RmcReading ParseRmc(std::span<const uint8_t> field);

// Days from 1970-01-01 to a proleptic Gregorian date, and back.
int64_t DaysFromCivil(int year, int month, int day);
void CivilFromDays(int64_t days, int& year, int& month, int& day);

// "55.75120 N, 37.61840 E" for a fix; "нет данных GPS" without one.
std::string FixText(const std::optional<GpsFix>& fix);

// Great-circle distance in metres between two fixes (mean Earth radius).
double DistanceMeters(const GpsFix& a, const GpsFix& b);

}  // namespace records
