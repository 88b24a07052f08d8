#include "platform/os/SystemTime.h"

#include <chrono>

#include "platform/os/Clock.h"

namespace os {
namespace {

// 2000-01-01 00:00:00 UTC in milliseconds since 1970.
constexpr int64_t kVirtualEpochMs = 946684800000;

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(int64_t z, int& y, unsigned& m, unsigned& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = int(int64_t(yoe) + era * 400 + (m <= 2));
}

}  // namespace

SystemTime GetSystemTimeUtc() {
    int64_t ms;
    if (clock::IsVirtual()) {
        ms = kVirtualEpochMs + int64_t(clock::NowNanos() / 1000000);
    } else {
        ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                 std::chrono::system_clock::now().time_since_epoch())
                 .count();
    }
    const int64_t days = ms >= 0 ? ms / 86400000 : (ms - 86399999) / 86400000;
    const int64_t inDay = ms - days * 86400000;
    int y;
    unsigned m, d;
    CivilFromDays(days, y, m, d);
    SystemTime t{};
    t.year = uint16_t(y);
    t.month = uint16_t(m);
    t.day = uint16_t(d);
    t.dayOfWeek = uint16_t(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
    t.hour = uint16_t(inDay / 3600000);
    t.minute = uint16_t(inDay / 60000 % 60);
    t.second = uint16_t(inDay / 1000 % 60);
    t.milliseconds = uint16_t(inDay % 1000);
    return t;
}

}  // namespace os
