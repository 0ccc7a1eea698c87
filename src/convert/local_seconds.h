// Time stamps of the integrity record: whole seconds since 2000-01-01 00:00 in local time,
// i.e. the difference of two local date-times (no time-zone or daylight-saving correction
// between them), truncated toward zero. Thread-safe (uses localtime_r).
#pragma once

#include <cstdint>
#include <ctime>

namespace convert {

// Local seconds since 2000-01-01 00:00 of the instant `unixSeconds` + `nanoseconds`.
int64_t LocalSecondsSince2000(std::time_t unixSeconds, long nanoseconds);

// The current time, same scale, as stored in the record (wraps like a 32-bit field).
uint32_t CurrentLocalSecondsSince2000();

// Tests that compare whole files: while set, the current time and every written file's
// modification time in an integrity block read as `seconds`; 0 restores the real clock.
void FixIntegrityClock(uint32_t seconds);
// The fixed time, or 0 when the real clock is used.
uint32_t FixedIntegrityClock();

}  // namespace convert
