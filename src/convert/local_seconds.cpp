#include "convert/local_seconds.h"

#include <atomic>

namespace convert {
namespace {

// Days from 1970-01-01 to the civil date y-m-d (proleptic Gregorian calendar).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = unsigned(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + int64_t(doe) - 719468;
}

}  // namespace

int64_t LocalSecondsSince2000(std::time_t unixSeconds, long nanoseconds) {
  std::tm local{};
  if (localtime_r(&unixSeconds, &local) == nullptr) return 0;
  const int64_t days = DaysFromCivil(int64_t(local.tm_year) + 1900, unsigned(local.tm_mon + 1),
                                     unsigned(local.tm_mday)) -
                       DaysFromCivil(2000, 1, 1);
  int64_t seconds = days * 86400 + local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
  // The fraction of a second moves a negative value toward zero when truncated.
  if (seconds < 0 && nanoseconds > 0) seconds += 1;
  return seconds;
}

namespace {
std::atomic<uint32_t> fixedClock{0};
}  // namespace

void FixIntegrityClock(uint32_t seconds) { fixedClock = seconds; }
uint32_t FixedIntegrityClock() { return fixedClock; }

uint32_t CurrentLocalSecondsSince2000() {
  if (const uint32_t fixed = fixedClock) return fixed;
  std::timespec now{};
  std::timespec_get(&now, TIME_UTC);
  return uint32_t(LocalSecondsSince2000(now.tv_sec, now.tv_nsec));
}

}  // namespace convert
