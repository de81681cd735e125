#include "platform/LocalTime.h"

#include <ctime>

namespace platform {

TLocalTime LocalTimeNow() {
    TLocalTime result;
    timespec now{};
    if (clock_gettime(CLOCK_REALTIME, &now) != 0)
        return result;
    tm local{};
    if (localtime_r(&now.tv_sec, &local) == nullptr)
        return result;
    result.Year = local.tm_year + 1900;
    result.Month = local.tm_mon + 1;
    result.Day = local.tm_mday;
    result.Hour = local.tm_hour;
    result.Minute = local.tm_min;
    result.Second = local.tm_sec;
    result.Millisecond = static_cast<int>(now.tv_nsec / 1000000);
    return result;
}

} // namespace platform
