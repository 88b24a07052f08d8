#include "platform/os/SystemTime.h"

#include <chrono>
#include <ctime>

#include "platform/os/Clock.h"

namespace os {

void GetSystemTime(SystemTime* out) {
    if (!out) return;
    int64_t millis;
    if (clock::IsVirtual()) {
        constexpr int64_t kVirtualEpochSeconds = 946684800;  // 2000-01-01T00:00:00Z
        millis = kVirtualEpochSeconds * 1000 + static_cast<int64_t>(clock::NowMillis());
    } else {
        millis = std::chrono::duration_cast<std::chrono::milliseconds>(
                     std::chrono::system_clock::now().time_since_epoch())
                     .count();
    }
    const std::time_t seconds = static_cast<std::time_t>(millis / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    *out = SystemTime{static_cast<uint16_t>(utc.tm_year + 1900), static_cast<uint16_t>(utc.tm_mon + 1),
                      static_cast<uint16_t>(utc.tm_wday),        static_cast<uint16_t>(utc.tm_mday),
                      static_cast<uint16_t>(utc.tm_hour),        static_cast<uint16_t>(utc.tm_min),
                      static_cast<uint16_t>(utc.tm_sec),         static_cast<uint16_t>(millis % 1000)};
}

}  // namespace os
