#include "cardsim/gps_track.h"

#include <cmath>
#include <cstdio>

namespace cardsim {

std::string GpsTrack::RmcBody(double elapsed_s, const CivilTime& utc) const {
  constexpr double kPi = 3.141592653589793;
  const double metres = speed_knots * 1852.0 / 3600.0 * elapsed_s;
  const double course = course_deg * kPi / 180.0;
  const double lat = latitude + metres * std::cos(course) / 111320.0;
  const double lon =
      longitude + metres * std::sin(course) / (111320.0 * std::cos(latitude * kPi / 180.0));
  const double alat = std::fabs(lat), alon = std::fabs(lon);
  const int lat_deg = int(alat), lon_deg = int(alon);
  char buf[96];
  std::snprintf(buf, sizeof buf, ",%02d%02d%02d.00,%c,%02d%07.4f,%c,%03d%07.4f,%c,%.1f,%.1f,%02d%02d%02d,,",
                utc.hour, utc.minute, utc.second, fix ? 'A' : 'V', lat_deg,
                (alat - lat_deg) * 60.0, lat >= 0 ? 'N' : 'S', lon_deg, (alon - lon_deg) * 60.0,
                lon >= 0 ? 'E' : 'W', speed_knots, course_deg, utc.day, utc.month,
                utc.year % 100);
  return buf;
}

}  // namespace cardsim
