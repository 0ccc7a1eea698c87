#include "cardsim/gps_track.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace cardsim {

GpsTrack::Point GpsTrack::At(double elapsed_s) const {
  constexpr double kPi = 3.141592653589793;
  Point p;
  double moving = elapsed_s;  // seconds spent moving so far
  if (move_s > 0) {
    const double period = move_s + stop_s + lost_s;
    const double cycles = std::floor(elapsed_s / period);
    const double in = elapsed_s - cycles * period;
    moving = cycles * move_s + std::min(in, move_s);
    if (in >= move_s + stop_s + lost_s / 2)
      p.kind = Point::empty;
    else if (in >= move_s + stop_s)
      p.kind = Point::no_position;
    else if (in >= move_s)
      p.kind = Point::stopped;
  }
  const double metres = speed_knots * 1852.0 / 3600.0 * moving;
  const double course = course_deg * kPi / 180.0;
  p.latitude = latitude + metres * std::cos(course) / 111320.0;
  p.longitude = longitude + metres * std::sin(course) / (111320.0 * std::cos(latitude * kPi / 180.0));
  p.speed_knots = p.kind == Point::moving ? speed_knots : 0;
  return p;
}

CivilTime GpsTrack::Utc(const CivilTime& local) const {
  return AddSeconds(local, -int64_t(std::llround(utc_offset_h * 3600)));
}

std::string GpsTrack::RmcBody(double elapsed_s, const CivilTime& local) const {
  const Point p = At(elapsed_s);
  const CivilTime utc = Utc(local);
  char buf[96];
  if (p.kind == Point::empty) return ",,,,,,,,,,,";
  if (p.kind == Point::no_position) {
    std::snprintf(buf, sizeof buf, ",%02d%02d%02d.00,V,,,,,,,%02d%02d%02d,,,N", utc.hour,
                  utc.minute, utc.second, utc.day, utc.month, utc.year % 100);
    return buf;
  }
  const double alat = std::fabs(p.latitude), alon = std::fabs(p.longitude);
  const int lat_deg = int(alat), lon_deg = int(alon);
  std::snprintf(buf, sizeof buf, ",%02d%02d%02d.00,%c,%02d%07.4f,%c,%03d%07.4f,%c,%.1f,%.1f,%02d%02d%02d,,",
                utc.hour, utc.minute, utc.second, fix ? 'A' : 'V', lat_deg,
                (alat - lat_deg) * 60.0, p.latitude >= 0 ? 'N' : 'S', lon_deg,
                (alon - lon_deg) * 60.0, p.longitude >= 0 ? 'E' : 'W', p.speed_knots, course_deg,
                utc.day, utc.month, utc.year % 100);
  return buf;
}

}  // namespace cardsim
