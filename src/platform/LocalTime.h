#pragma once
// The computer's local date and time, to the millisecond, for log timestamps.

namespace platform {

struct TLocalTime {
    int Year = 0;  // full year, e.g. 2026
    int Month = 0; // 1..12
    int Day = 0;   // 1..31
    int Hour = 0;  // 0..23
    int Minute = 0;
    int Second = 0;
    int Millisecond = 0; // 0..999
};

TLocalTime LocalTimeNow();

} // namespace platform
