// A GPS track for the simulated recorder: a position moving at a steady speed and course,
// written as the body of an NMEA 0183 RMC sentence from its first comma on (no sentence
// identifier, no checksum), as the information sector's 64-byte gps_rmc field holds it.
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

  // The RMC body at `elapsed_s` seconds along the track, stamped with `utc`; under 64 bytes.
  std::string RmcBody(double elapsed_s, const CivilTime& utc) const;
};

}  // namespace cardsim
