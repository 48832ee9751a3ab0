#include "platform/clock.h"

#include <ctime>

#include "platform/platform_state.h"

namespace {

constexpr int64_t ticks_per_second = 10'000'000;
constexpr int64_t ticks_per_day = ticks_per_second * 86'400;
// Days from 1601-01-01 to 1970-01-01.
constexpr int64_t days_1601_to_1970 = 134'774;
constexpr int max_year = 30827;

bool is_leap(int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int days_in_month(int64_t y, int m)
{
    static constexpr int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && is_leap(y) ? 29 : days[m - 1];
}

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t days_from_civil(int64_t y, int m, int d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civil_from_days(int64_t z, int64_t* y, int* m, int* d)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    *y = yoe + era * 400 + (*m <= 2);
}

}  // namespace

void get_local_time(SYSTEMTIME* out)
{
    const auto& fixed = platform_globals().fixed_local_time;
    if (fixed) {
        *out = *fixed;
        return;
    }
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    out->wYear = local.tm_year + 1900;
    out->wMonth = local.tm_mon + 1;
    out->wDayOfWeek = local.tm_wday;
    out->wDay = local.tm_mday;
    out->wHour = local.tm_hour;
    out->wMinute = local.tm_min;
    out->wSecond = local.tm_sec > 59 ? 59 : local.tm_sec;
    out->wMilliseconds = static_cast<int32_t>(now.tv_nsec / 1'000'000);
}

bool system_time_to_file_time(const SYSTEMTIME* st, FILETIME* ft)
{
    if (st->wYear < 1601 || st->wYear > max_year || st->wMonth < 1 || st->wMonth > 12 || st->wDay < 1
        || st->wDay > days_in_month(st->wYear, st->wMonth) || st->wHour < 0 || st->wHour > 23
        || st->wMinute < 0 || st->wMinute > 59 || st->wSecond < 0 || st->wSecond > 59
        || st->wMilliseconds < 0 || st->wMilliseconds > 999)
        return false;
    const int64_t days = days_from_civil(st->wYear, st->wMonth, st->wDay) + days_1601_to_1970;
    const int64_t ms = ((st->wHour * 60LL + st->wMinute) * 60 + st->wSecond) * 1000 + st->wMilliseconds;
    ft->ticks = static_cast<uint64_t>(days * ticks_per_day + ms * 10'000);
    return true;
}

bool file_time_to_system_time(const FILETIME* ft, SYSTEMTIME* st)
{
    auto& failing = platform_globals().failing_file_time_conversions;
    if (failing > 0) {
        --failing;
        return false;
    }
    if (ft->ticks >= 0x8000000000000000ULL)
        return false;
    const auto ticks = static_cast<int64_t>(ft->ticks);
    const int64_t days = ticks / ticks_per_day;
    int64_t rest = (ticks % ticks_per_day) / 10'000;  // milliseconds of the day
    int64_t year = 0;
    int month = 0;
    int day = 0;
    civil_from_days(days - days_1601_to_1970, &year, &month, &day);
    if (year > max_year)
        return false;
    st->wYear = static_cast<int32_t>(year);
    st->wMonth = month;
    st->wDay = day;
    st->wDayOfWeek = static_cast<int32_t>((days + 1) % 7);  // 1601-01-01 was a Monday
    st->wMilliseconds = static_cast<int32_t>(rest % 1000);
    rest /= 1000;
    st->wSecond = static_cast<int32_t>(rest % 60);
    rest /= 60;
    st->wMinute = static_cast<int32_t>(rest % 60);
    st->wHour = static_cast<int32_t>(rest / 60);
    return true;
}
