#include "database/days.h"

#include "calendar/calendar.h"
#include "database/database.h"

uint16_t day_number(uint32_t t)
{
    const database& d = db();
    const uint32_t now = time_now();
    const bool dst_now = local_time(&now)->tm_isdst != 0;
    calendar_time start = *local_time(&d.time_of_start);
    start.tm_hour = d.day_start_hour;
    start.tm_min = d.day_start_minute;
    start.tm_sec = 0;
    uint32_t anchor = make_time(&start);
    // The anchor is the day start in standard time, moved by the daylight delta while
    // daylight saving is in force now, so that the day changes at the same wall-clock time
    // all year, whatever season the database was started in.
    int32_t dst_delta = 0;
    get_tz_offsets(nullptr, &dst_delta);
    if (is_in_dst(&start))
        anchor -= static_cast<uint32_t>(dst_delta);
    if (dst_now)
        anchor += static_cast<uint32_t>(dst_delta);
    if (t == 0)
        t = now;
    // A database begun between midnight and the day's start (a night's first session) is in
    // day 0 already: the unsigned difference would wrap to 49,710, and the items graded then
    // would be due 136 years ahead.
    if (t < anchor)
        return 0;
    return static_cast<uint16_t>((t - anchor) / 86'400u);
}
