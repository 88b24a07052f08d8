// The system time in UTC, through the platform clock: wall-clock time in real
// mode; in virtual mode a fixed start (2000-01-01 00:00:00.000, a Saturday)
// plus the virtual time, so runs repeat exactly.
#pragma once

#include <cstdint>

namespace os {

struct SystemTime {
    uint16_t year, month, dayOfWeek, day, hour, minute, second, milliseconds;
};

void GetSystemTime(SystemTime* out);

}  // namespace os
