// The system time in UTC, read through the platform clock: real mode gives
// the wall clock; virtual mode gives a fixed start (2000-01-01 00:00:00 UTC)
// plus the virtual time elapsed, so runs repeat exactly.
#pragma once

#include <cstdint>

namespace os {

struct SystemTime {
    uint16_t year;
    uint16_t month;      // 1..12
    uint16_t dayOfWeek;  // 0 = Sunday
    uint16_t day;        // 1..31
    uint16_t hour;
    uint16_t minute;
    uint16_t second;     // 0..59
    uint16_t milliseconds;
};

SystemTime GetSystemTimeUtc();

}  // namespace os
