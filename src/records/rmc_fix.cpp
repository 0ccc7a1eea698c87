#include "records/rmc_fix.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>
#include <vector>

namespace records {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kEarthRadius = 6371008.8;  // metres, mean radius

bool Digits(std::string_view s) {
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return !s.empty();
}

int Number(std::string_view s) {
  int v = 0;
  for (char c : s) v = v * 10 + (c - '0');
  return v;
}

// Unsigned decimal "123" or "123.45": digits, then optionally a point and at least one digit.
// `intDigits` (when not 0) is the exact count of digits before the point.
std::optional<double> Decimal(std::string_view s, size_t intDigits = 0) {
  const size_t point = s.find('.');
  const std::string_view whole = s.substr(0, point);
  if (!Digits(whole) || (intDigits && whole.size() != intDigits)) return std::nullopt;
  if (whole.size() > 9) return std::nullopt;  // implausible, and beyond int
  double v = Number(whole);
  if (point != std::string_view::npos) {
    const std::string_view frac = s.substr(point + 1);
    if (!Digits(frac) || frac.size() > 9) return std::nullopt;
    v += Number(frac) / std::pow(10.0, double(frac.size()));
  }
  return v;
}

// ddmm.mmmm (latitude, 2 degree digits) or dddmm.mmmm (longitude, 3), with its hemisphere.
std::optional<double> Coordinate(std::string_view value, std::string_view hemi, size_t degDigits,
                                 char positive, char negative, double limit) {
  if (hemi.size() != 1 || (hemi[0] != positive && hemi[0] != negative)) return std::nullopt;
  if (value.size() < degDigits + 2) return std::nullopt;
  const std::string_view deg = value.substr(0, degDigits);
  if (!Digits(deg)) return std::nullopt;
  const std::optional<double> minutes = Decimal(value.substr(degDigits), 2);
  if (!minutes || *minutes >= 60) return std::nullopt;
  const double degrees = Number(deg) + *minutes / 60.0;
  if (degrees > limit) return std::nullopt;
  return hemi[0] == negative ? -degrees : degrees;
}

bool LeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && LeapYear(y) ? 29 : kDays[m - 1];
}

// The text of the field: up to the first NUL or the field's end. Any byte outside printable
// ASCII makes the whole body unreadable.
std::optional<std::string_view> FieldText(std::span<const uint8_t> field) {
  size_t n = 0;
  while (n < field.size() && field[n] != 0) ++n;
  for (size_t i = 0; i < n; ++i)
    if (field[i] < 0x20 || field[i] > 0x7E) return std::nullopt;
  return std::string_view(reinterpret_cast<const char*>(field.data()), n);
}

std::vector<std::string_view> Split(std::string_view s) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (;;) {
    const size_t comma = s.find(',', start);
    parts.push_back(s.substr(start, comma == std::string_view::npos ? comma : comma - start));
    if (comma == std::string_view::npos) return parts;
    start = comma + 1;
  }
}

}  // namespace

int64_t DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  day = int(doy - (153 * mp + 2) / 5 + 1);
  month = int(mp < 10 ? mp + 3 : mp - 9);
  year = int(yoe + era * 400 + (month <= 2));
}

double GpsFix::UnixSeconds() const {
  return double(DaysFromCivil(year, month, day)) * 86400.0 + hour * 3600.0 + minute * 60.0 +
         second;
}

RmcReading ParseRmc(std::span<const uint8_t> field) {
  RmcReading r;
  const std::optional<std::string_view> text = FieldText(field);
  if (!text || text->empty() || (*text)[0] != ',') return r;
  std::string_view body = text->substr(1);
  // A checksum "*hh" may close the sentence; it is not part of the last field.
  if (const size_t star = body.find('*'); star != std::string_view::npos) body = body.substr(0, star);
  const std::vector<std::string_view> f = Split(body);
  if (f.size() < 2) return r;
  if (f[1] == "A" || f[1] == "V") r.status = f[1][0];
  // Time, status ... date: nine fields. Every one of them has a checked form, so a body cut
  // at the field's end (no terminator) loses its fix unless the whole date made it in.
  if (r.status != 'A' || f.size() < 9) return r;

  GpsFix fix;
  const std::string_view time = f[0];
  if (time.size() < 6 || !Digits(time.substr(0, 6))) return r;
  fix.hour = Number(time.substr(0, 2));
  fix.minute = Number(time.substr(2, 2));
  const std::optional<double> second = Decimal(time.substr(4), 2);
  if (!second || fix.hour > 23 || fix.minute > 59 || *second >= 60) return r;
  fix.second = *second;

  const auto lat = Coordinate(f[2], f[3], 2, 'N', 'S', 90);
  const auto lon = Coordinate(f[4], f[5], 3, 'E', 'W', 180);
  if (!lat || !lon) return r;
  fix.latitude = *lat;
  fix.longitude = *lon;

  if (!f[6].empty()) {
    fix.speedKnots = Decimal(f[6]);
    if (!fix.speedKnots) return r;
  }
  if (!f[7].empty()) {
    fix.courseDeg = Decimal(f[7]);
    if (!fix.courseDeg || *fix.courseDeg > 360) return r;
  }

  const std::string_view date = f[8];
  if (date.size() != 6 || !Digits(date)) return r;
  fix.day = Number(date.substr(0, 2));
  fix.month = Number(date.substr(2, 2));
  fix.year = 2000 + Number(date.substr(4, 2));
  if (fix.month < 1 || fix.month > 12 || fix.day < 1 ||
      fix.day > DaysInMonth(fix.year, fix.month))
    return r;
  r.fix = fix;
  return r;
}

std::string FixText(const std::optional<GpsFix>& fix) {
  if (!fix) return "нет данных GPS";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.5f %c, %.5f %c", std::fabs(fix->latitude),
                fix->latitude < 0 ? 'S' : 'N', std::fabs(fix->longitude),
                fix->longitude < 0 ? 'W' : 'E');
  return buf;
}

double DistanceMeters(const GpsFix& a, const GpsFix& b) {
  const double rad = kPi / 180.0;
  const double dLat = (b.latitude - a.latitude) * rad;
  const double dLon = (b.longitude - a.longitude) * rad;
  const double h = std::sin(dLat / 2) * std::sin(dLat / 2) +
                   std::cos(a.latitude * rad) * std::cos(b.latitude * rad) *
                       std::sin(dLon / 2) * std::sin(dLon / 2);
  return 2 * kEarthRadius * std::asin(std::min(1.0, std::sqrt(h)));
}

}  // namespace records
