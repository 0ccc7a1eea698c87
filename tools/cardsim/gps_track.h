// A GPS track for the simulated recorder: a position moving at a steady speed and course,
// written as the body of an NMEA 0183 RMC sentence from its first comma on (no sentence
// identifier, no checksum), as the information sector's 64-byte gps_rmc field holds it.
//
// With a schedule (move_s > 0) the track repeats a cycle from its origin: moving for move_s
// seconds, standing still for stop_s (speed 0), then without a fix for lost_s: status V with
// the time and date but empty position fields in the first half, every field empty in the
// second. The fix is stamped in UTC: the recorder's clock (local time) less utc_offset_h.
//
// Plain value type; any thread.
#pragma once

#include <string>

#include "cardsim/civil_time.h"

namespace cardsim {

struct GpsTrack {
  double latitude = 55.7512;   // degrees, north positive
  double longitude = 37.6184;  // degrees, east positive
  double speed_knots = 12.0;
  double course_deg = 45.0;
  bool fix = true;  // false: status V (no fix)
  double utc_offset_h = 0;  // recorder clock minus UTC
  double move_s = 0, stop_s = 0, lost_s = 0;  // the cycle; move_s 0: always moving

  // Where the track is `elapsed_s` seconds after its origin.
  struct Point {
    enum Kind { moving, stopped, no_position, empty } kind = moving;
    double latitude = 0, longitude = 0, speed_knots = 0;
  };
  Point At(double elapsed_s) const;

  // The UTC time of a fix stamped at recorder clock `local`.
  CivilTime Utc(const CivilTime& local) const;

  // The RMC body at `elapsed_s` seconds along the track, stamped with the recorder clock
  // `local`; under 64 bytes.
  std::string RmcBody(double elapsed_s, const CivilTime& local) const;
};

}  // namespace cardsim
