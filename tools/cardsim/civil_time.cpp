#include "cardsim/civil_time.h"

#include <cstdio>

namespace cardsim {
namespace {

// Days from 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = int(doy - (153 * mp + 2) / 5 + 1);
  m = int(mp < 10 ? mp + 3 : mp - 9);
  y = int(yoe + era * 400 + (m <= 2));
}

const int64_t kEpoch2000 = DaysFromCivil(2000, 1, 1);

}  // namespace

int64_t ToSeconds(const CivilTime& t) {
  return (DaysFromCivil(t.year, t.month, t.day) - kEpoch2000) * 86400 + t.hour * 3600 +
         t.minute * 60 + t.second;
}

CivilTime FromSeconds(int64_t s) {
  int64_t days = s / 86400, rest = s % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  CivilTime t;
  CivilFromDays(days + kEpoch2000, t.year, t.month, t.day);
  t.hour = int(rest / 3600);
  t.minute = int(rest / 60 % 60);
  t.second = int(rest % 60);
  return t;
}

std::optional<CivilTime> ParseCivilTime(const std::string& text) {
  CivilTime t;
  char sep = 0;
  int used = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d%n", &t.year, &t.month, &t.day, &sep,
                  &t.hour, &t.minute, &t.second, &used) != 7 ||
      size_t(used) != text.size() || (sep != ' ' && sep != 'T'))
    return std::nullopt;
  if (t.year < 2000 || t.year > 2255 || t.month < 1 || t.month > 12 || t.day < 1 || t.hour > 23 ||
      t.minute > 59 || t.second > 59 || t.hour < 0 || t.minute < 0 || t.second < 0)
    return std::nullopt;
  if (FromSeconds(ToSeconds(t)) != t) return std::nullopt;  // e.g. 31 February
  return t;
}

std::string FormatCivilTime(const CivilTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return buf;
}

}  // namespace cardsim
