#include "calendar/calendar.h"

#include "platform/clock.h"
#include "platform/timezone.h"

int32_t g_bUseDST = 1;  // declared extern "C" with default visibility in the header

namespace {

constexpr int64_t ticks_per_second = 10'000'000;
constexpr int64_t ms_per_day = 86'400'000;
// Seconds from 1601-01-01 to 1970-01-01.
constexpr int64_t epoch_1970 = 11'644'473'600;

bool load_zone()
{
    calendar_state& state = calendar_globals();
    if (state.zone_loaded)
        return true;
    TIME_ZONE_INFORMATION zone{};
    if (get_time_zone_information(&zone) == TIME_ZONE_ID_INVALID)
        return false;  // stays unloaded: the next call tries again
    state.zone = zone;
    state.zone_loaded = true;
    return true;
}

// Days since 1601 of a date, month and day allowed to overflow (make_time of an invalid
// date still gives a defined answer: 31 April is 1 May).
int64_t normalised_file_time(const SYSTEMTIME& st)
{
    int64_t year = st.wYear;
    int64_t month = st.wMonth - 1;
    year += month >= 0 ? month / 12 : (month - 11) / 12;
    month = ((month % 12) + 12) % 12;
    SYSTEMTIME first{};
    first.wYear = static_cast<int32_t>(year);
    first.wMonth = static_cast<int32_t>(month + 1);
    first.wDay = 1;
    FILETIME ft{};
    if (!system_time_to_file_time(&first, &ft))
        return 0;
    const int64_t seconds = ((static_cast<int64_t>(st.wDay) - 1) * 24 + st.wHour) * 3600LL + st.wMinute * 60LL + st.wSecond;
    return static_cast<int64_t>(ft.ticks) + seconds * ticks_per_second;
}

}  // namespace

calendar_state& calendar_globals()
{
    static calendar_state state;
    return state;
}

void calendar_reset()
{
    calendar_globals() = calendar_state{};
    g_bUseDST = 1;
}

int32_t day_of_year(const SYSTEMTIME* st)
{
    SYSTEMTIME january = {};
    january.wYear = st->wYear;
    january.wMonth = 1;
    january.wDay = 1;
    FILETIME date{};
    FILETIME start{};
    if (!system_time_to_file_time(st, &date) || !system_time_to_file_time(&january, &start))
        return static_cast<int32_t>((normalised_file_time(*st) - normalised_file_time(january)) / ticks_per_second / 86'400);
    return static_cast<int32_t>((static_cast<int64_t>(date.ticks) - static_cast<int64_t>(start.ticks)) / ticks_per_second / 86'400);
}

calendar_time calendar_from_system_time(const SYSTEMTIME& st)
{
    return {.tm_sec = st.wSecond, .tm_min = st.wMinute, .tm_hour = st.wHour, .tm_mday = st.wDay, .tm_mon = st.wMonth - 1,
        .tm_year = st.wYear - 1900, .tm_wday = st.wDayOfWeek, .tm_yday = day_of_year(&st), .tm_isdst = 0};
}

SYSTEMTIME system_time_from_calendar(const calendar_time& r)
{
    return {.wYear = r.tm_year + 1900, .wMonth = r.tm_mon + 1, .wDayOfWeek = r.tm_wday, .wDay = r.tm_mday,
        .wHour = r.tm_hour, .wMinute = r.tm_min, .wSecond = r.tm_sec, .wMilliseconds = 0};
}

void get_tz_offsets(int32_t* zone_offset, int32_t* dst_delta)
{
    int32_t z = 0;
    int32_t d = 0;
    // An unreadable zone counts as UTC without daylight saving.
    if (load_zone()) {
        const TIME_ZONE_INFORMATION& zone = calendar_globals().zone;
        z = 60 * (zone.Bias + (zone.StandardDate.wMonth != 0 ? zone.StandardBias : 0));
        if (zone.DaylightDate.wMonth != 0 && zone.DaylightBias != 0)
            d = 60 * (zone.DaylightBias - zone.StandardBias);
    }
    if (zone_offset)
        *zone_offset = z;
    if (dst_delta)
        *dst_delta = d;
}

dst_moment dst_transition(dst_kind kind, int32_t year, int32_t month, int32_t week, int32_t day_of_week,
    int32_t hour, int32_t minute, int32_t second, int32_t millisecond)
{
    static constexpr int32_t common[13] = {-1, 30, 58, 89, 119, 150, 180, 211, 242, 272, 303, 333, 364};
    static constexpr int32_t leap[13] = {-1, 30, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};
    const int32_t* table = year % 4 == 0 ? leap : common;
    if (month < 1 || month > 12)
        month = 1;
    const int32_t first = table[month - 1] + 1;
    int32_t w = (year * 365 + (year - 1) / 4 + first - 25563) % 7;
    if (w < 0)
        w += 7;
    dst_moment m;
    m.year = year;
    m.day = w <= day_of_week ? first + (day_of_week - w) + 7 * (week - 1) : first + (day_of_week - w) + 7 * week;
    if (week == 5 && m.day > table[month])
        m.day -= 7;
    int32_t extra = 0;
    if (kind == dst_kind::end)
        get_tz_offsets(nullptr, &extra);
    int64_t ms = millisecond + 1000LL * (second + extra + 60LL * (minute + 60LL * hour));
    // A rule time outside its day (an end at 00:30 daylight time is 23:30 standard time the
    // day before) belongs to the neighbouring day.
    while (ms < 0) {
        ms += ms_per_day;
        --m.day;
    }
    while (ms >= ms_per_day) {
        ms -= ms_per_day;
        ++m.day;
    }
    m.millisecond = static_cast<int32_t>(ms);
    return m;
}

bool is_in_dst(const calendar_time* record)
{
    if (g_bUseDST == 0 || !load_zone())
        return false;
    const TIME_ZONE_INFORMATION& zone = calendar_globals().zone;
    const SYSTEMTIME& on = zone.DaylightDate;
    const SYSTEMTIME& off = zone.StandardDate;
    if (on.wYear != 0 || off.wYear != 0 || on.wMonth == 0 || off.wMonth == 0)
        return false;
    const dst_moment start = dst_transition(dst_kind::start, record->tm_year, on.wMonth, on.wDay, on.wDayOfWeek,
        on.wHour, on.wMinute, on.wSecond, on.wMilliseconds);
    const dst_moment end = dst_transition(dst_kind::end, record->tm_year, off.wMonth, off.wDay, off.wDayOfWeek,
        off.wHour, off.wMinute, off.wSecond, off.wMilliseconds);
    const int32_t y = record->tm_yday;
    const int64_t m = ((record->tm_hour * 60LL + record->tm_min) * 60 + record->tm_sec) * 1000;
    if (y == start.day && y == end.day)
        return start.millisecond < end.millisecond ? m >= start.millisecond && m < end.millisecond
                                                   : m >= start.millisecond || m < end.millisecond;
    if (y == start.day)
        return m >= start.millisecond;
    if (y == end.day)
        return m < end.millisecond;
    if (start.day < end.day)
        return y > start.day && y < end.day;
    return y < end.day || y > start.day;
}

uint32_t make_time(calendar_time* record)
{
    const SYSTEMTIME st = system_time_from_calendar(*record);
    record->tm_yday = day_of_year(&st);
    FILETIME ft{};
    int64_t f = 0;
    if (system_time_to_file_time(&st, &ft))
        f = static_cast<int64_t>(ft.ticks);
    else
        f = normalised_file_time(st);
    int32_t z = 0;
    int32_t d = 0;
    get_tz_offsets(&z, &d);
    if (is_in_dst(record))
        z += d;
    const int64_t seconds = (f - epoch_1970 * ticks_per_second) / ticks_per_second;
    return static_cast<uint32_t>(seconds) + static_cast<uint32_t>(z);
}

const calendar_time* local_time(const uint32_t* t)
{
    calendar_time& shared = calendar_globals().shared_local;
    shared = calendar_time{};
    int32_t z = 0;
    int32_t d = 0;
    get_tz_offsets(&z, &d);
    int64_t f = (static_cast<int64_t>(*t) + epoch_1970) * ticks_per_second - static_cast<int64_t>(z) * ticks_per_second;
    FILETIME ft{static_cast<uint64_t>(f)};
    SYSTEMTIME st{};
    if (!file_time_to_system_time(&ft, &st))
        return &shared;
    calendar_time r = calendar_from_system_time(st);
    bool shifted = false;
    if (is_in_dst(&r)) {
        f -= static_cast<int64_t>(d) * ticks_per_second;
        ft.ticks = static_cast<uint64_t>(f);
        if (!file_time_to_system_time(&ft, &st))
            return &shared;
        r = calendar_from_system_time(st);
        shifted = true;
    }
    shared = r;
    shared.tm_isdst = shifted ? 1 : 0;
    return &shared;
}

uint32_t time_now()
{
    SYSTEMTIME st{};
    get_local_time(&st);
    calendar_time r = calendar_from_system_time(st);
    return make_time(&r);
}
