#pragma once
// The program's own clock: seconds since 1970 UTC, local time with the zone's daylight-saving
// rule, and the conversions that day numbers rest on.
#include <cstdint>

#include "platform/win_types.h"

// Switches daylight saving off while 0. Exported under this name for outside tools.
extern "C" __attribute__((visibility("default"))) int32_t g_bUseDST;

// Broken-down local time, in the standard library's field order.
struct calendar_time {
    int32_t tm_sec = 0;
    int32_t tm_min = 0;
    int32_t tm_hour = 0;
    int32_t tm_mday = 0;
    int32_t tm_mon = 0;  // 0-11
    int32_t tm_year = 0;  // years since 1900
    int32_t tm_wday = 0;  // 0 = Sunday
    int32_t tm_yday = 0;  // 0-365
    int32_t tm_isdst = 0;
};

// Result of dst_transition: the moment a daylight-saving period starts or ends.
struct dst_moment {
    int32_t year = 0;  // years since 1900
    int32_t day = 0;  // day of year
    int32_t millisecond = 0;  // of that day, in local standard time
};

enum class dst_kind { start, end };

uint32_t time_now();
uint32_t make_time(calendar_time* record);
const calendar_time* local_time(const uint32_t* t);
bool is_in_dst(const calendar_time* record);
void get_tz_offsets(int32_t* zone_offset, int32_t* dst_delta);
dst_moment dst_transition(dst_kind kind, int32_t year, int32_t month, int32_t week, int32_t day_of_week,
    int32_t hour, int32_t minute, int32_t second, int32_t millisecond);
int32_t day_of_year(const SYSTEMTIME* st);

calendar_time calendar_from_system_time(const SYSTEMTIME& st);
SYSTEMTIME system_time_from_calendar(const calendar_time& record);

// The calendar's process-wide state, one record.
struct calendar_state {
    TIME_ZONE_INFORMATION zone;
    bool zone_loaded = false;
    calendar_time shared_local;  // what local_time returns
};

calendar_state& calendar_globals();
// Forgets the cached zone (the next call reads it again) and sets g_bUseDST back to 1.
void calendar_reset();
