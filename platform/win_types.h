#pragma once
// Records shaped like the handheld platform's time records, so the calendar code can keep
// the system's own arithmetic. Fields are wider than the originals: rule times taken from a
// POSIX zone rule may lie outside 00:00-24:00 and are kept as they are.
#include <cstdint>

struct SYSTEMTIME {
    int32_t wYear = 0;
    int32_t wMonth = 0;  // 1-12; 0 in a zone date means "no such date"
    int32_t wDayOfWeek = 0;  // 0 = Sunday
    int32_t wDay = 0;  // 1-31; in a zone date, the week of the month 1-5
    int32_t wHour = 0;
    int32_t wMinute = 0;
    int32_t wSecond = 0;
    int32_t wMilliseconds = 0;
};

// 100-nanosecond ticks since 1601-01-01 00:00 UTC.
struct FILETIME {
    uint64_t ticks = 0;
};

struct TIME_ZONE_INFORMATION {
    int32_t Bias = 0;  // minutes: UTC = local standard time + Bias
    SYSTEMTIME StandardDate;  // when daylight saving ends (given in daylight time)
    int32_t StandardBias = 0;
    SYSTEMTIME DaylightDate;  // when daylight saving starts (given in standard time)
    int32_t DaylightBias = 0;  // daylight offset minus standard offset, usually -60
};

enum : uint32_t {
    TIME_ZONE_ID_UNKNOWN = 0,
    TIME_ZONE_ID_STANDARD = 1,
    TIME_ZONE_ID_DAYLIGHT = 2,
    TIME_ZONE_ID_INVALID = 0xFFFFFFFFu,
};
