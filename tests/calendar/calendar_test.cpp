#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <tuple>
#include <utility>

#include "calendar/calendar.h"
#include "platform/platform_state.h"
#include "platform/timezone.h"
#include "support/test_support.h"

namespace {

class CalendarTest : public clean_state_test {};

calendar_time local(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    calendar_time r{};
    std::tie(r.tm_year, r.tm_mon, r.tm_mday, r.tm_hour, r.tm_min, r.tm_sec) = std::tuple(year - 1900, month - 1, day, hour, minute, second);
    return r;
}

// Bias and daylight bias, in seconds; each starts as a value the call must replace.
std::pair<int32_t, int32_t> tz_offsets()
{
    int32_t zone = 7;
    int32_t daylight = 7;
    get_tz_offsets(&zone, &daylight);
    return {zone, daylight};
}

auto date_of(const calendar_time& r)
{
    return std::make_tuple(r.tm_year, r.tm_mon, r.tm_mday, r.tm_hour, r.tm_wday, r.tm_yday, r.tm_isdst);
}

bool in_dst_at(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    calendar_time r = local(year, month, day, hour, minute, second);
    make_time(&r);
    return is_in_dst(&r);
}

// Seconds of a UTC date, independent of the code under test.
uint32_t utc(int year, int month, int day, int hour = 0, int minute = 0)
{
    tm date{};
    std::tie(date.tm_year, date.tm_mon, date.tm_mday, date.tm_hour, date.tm_min) = std::tuple(year - 1900, month - 1, day, hour, minute);
    return static_cast<uint32_t>(::timegm(&date));
}

}  // namespace

TEST_F(CalendarTest, UtcAndFixedZonesConvertBothWays)
{
    const uint32_t zero = 0;
    EXPECT_EQ(date_of(*local_time(&zero)), std::make_tuple(70, 0, 1, 0, 4, 0, 0));

    for (uint32_t t : {utc(2000, 2, 29, 13, 45), utc(2009, 12, 31, 23, 59), utc(2038, 1, 19, 3, 14), 4294967295u}) {
        calendar_time copy = *local_time(&t);
        EXPECT_EQ(make_time(&copy), t);
    }
    calendar_time leap_day = local(2008, 12, 31);
    make_time(&leap_day);
    EXPECT_EQ(leap_day.tm_yday, 365);

    // A fixed bias without daylight saving.
    use_zone("CET-1");
    EXPECT_EQ(tz_offsets(), std::make_pair(-3600, 0));
    calendar_time march = local(2009, 3, 1);
    const uint32_t t = 1235865600u;
    EXPECT_EQ((std::pair{make_time(&march), local_time(&t)->tm_hour}), std::pair(1235862000u, 1));
}

TEST_F(CalendarTest, RulesSwitchOnTheRightDayAndInstant)
{
    const char* const cet = "CET-1CEST,M3.5.0,M10.5.0/3";
    const char* const est = "EST5EDT,M3.2.0,M11.1.0";
    // Daylight saving ending the day before, and the day after, in standard time.
    const char* const early = "XST-2XDT,M3.5.0,M10.5.0/0:30";
    const char* const late = "YST5YDT,M3.2.0,M11.1.0/25:30";
    struct transition_case {
        const char* zone;
        dst_kind kind;
        int year, month, week, hour, minute;  // the rule: year since 1900, the week's Sunday
        int day, millisecond;  // of the year, and standard time; millisecond -1: not asked
    };
    const transition_case transitions[] = {
        {cet, dst_kind::start, 109, 3, 5, 2, 0, 87, 2 * 3600 * 1000},
        {cet, dst_kind::end, 109, 10, 5, 3, 0, 297, 2 * 3600 * 1000},  // 03:00 daylight is 02:00 standard
        {est, dst_kind::start, 109, 3, 2, 2, 0, 66, -1},
        {est, dst_kind::start, 109, 10, 5, 2, 0, 297, -1},
        // A fifth Sunday that the month lacks falls back to the fourth: February 2009 has four.
        {est, dst_kind::start, 109, 2, 5, 0, 0, 52, -1},
        // A last Sunday on the month's last day stays there: 31 March 2024 (a leap year).
        {est, dst_kind::start, 124, 3, 5, 2, 0, 90, -1},
        {early, dst_kind::end, 109, 10, 5, 0, 30, 296, (23 * 60 + 30) * 60 * 1000},
        {late, dst_kind::end, 109, 11, 1, 25, 30, 305, 30 * 60 * 1000},
    };
    for (const transition_case& t : transitions) {
        use_zone(t.zone);
        const dst_moment m = dst_transition(t.kind, t.year, t.month, t.week, 0, t.hour, t.minute, 0, 0);
        EXPECT_EQ(std::pair(m.day, t.millisecond >= 0 ? m.millisecond : -1), std::pair(t.day, t.millisecond)) << t.zone << " " << t.month;
    }

    struct local_case {
        const char* zone;
        int month, day, hour, minute, second;  // of 2009, local
        bool dst;
    };
    const local_case locals[] = {
        {est, 3, 8, 1, 59, 59, false}, {est, 3, 8, 2, 0, 0, true}, {est, 11, 1, 0, 59, 59, true}, {est, 11, 1, 1, 0, 0, false},
        {early, 10, 24, 23, 29, 0, true}, {early, 10, 24, 23, 30, 0, false}, {early, 10, 25, 0, 10, 0, false},
        {late, 11, 2, 0, 29, 0, true}, {late, 11, 2, 0, 30, 0, false},
    };
    for (const local_case& l : locals) {
        use_zone(l.zone);
        EXPECT_EQ(in_dst_at(2009, l.month, l.day, l.hour, l.minute, l.second), l.dst)
            << l.zone << " " << l.month << "-" << l.day << " " << l.hour << ":" << l.minute << ":" << l.second;
    }

    use_zone(cet);
    EXPECT_EQ(tz_offsets(), std::make_pair(-3600, -3600));
    const std::tuple<uint32_t, int, int> instants[] = {{utc(2009, 3, 29, 0, 59), 1, 0}, {utc(2009, 3, 29, 1, 0), 3, 1},
        {utc(2009, 10, 25, 0, 59), 2, 1}, {utc(2009, 10, 25, 1, 0), 2, 0}};
    for (const auto& [t, hour, dst] : instants)
        EXPECT_EQ(std::pair(local_time(&t)->tm_hour, local_time(&t)->tm_isdst), std::pair(hour, dst)) << t;
    calendar_time summer = local(2009, 7, 1, 12), winter = local(2009, 1, 1, 12);
    EXPECT_EQ(std::pair(make_time(&summer), make_time(&winter)), std::pair(utc(2009, 7, 1, 10), utc(2009, 1, 1, 11)));

    // In the south the summer spans the new year.
    use_zone("AEST-10AEDT,M10.1.0,M4.1.0/3");
    for (const int month : {1, 2, 3, 5, 6, 7, 8, 9, 11, 12})
        EXPECT_EQ(in_dst_at(2010, month, 15, 12), month < 4 || month > 10) << month;
    const uint32_t january_noon_utc = utc(2010, 1, 15, 1);
    EXPECT_EQ(std::pair(local_time(&january_noon_utc)->tm_hour, local_time(&january_noon_utc)->tm_isdst), std::pair(12, 1));
}

TEST_F(CalendarTest, SwitchedOffDaylightSavingAndUnreadableZone)
{
    use_zone("CET-1CEST,M3.5.0,M10.5.0/3");
    g_bUseDST = 0;
    for (int month = 1; month <= 12; ++month) {
        const uint32_t t = utc(2009, month, 10, 12);
        EXPECT_EQ(std::pair(local_time(&t)->tm_isdst, local_time(&t)->tm_hour), std::pair(0, 13)) << month;
    }
    g_bUseDST = 1;

    // No zone information: UTC without daylight saving, and the next call tries again.
    platform_globals().zone_override.reset();
    platform_globals().zone_unreadable = true;
    calendar_reset();
    EXPECT_EQ(tz_offsets(), std::make_pair(0, 0));
    EXPECT_FALSE(calendar_globals().zone_loaded);
    const uint32_t t = utc(2009, 7, 1, 12);
    EXPECT_EQ(local_time(&t)->tm_hour, 12);
    platform_globals().zone_unreadable = false;
    use_zone("CET-1");
    EXPECT_EQ(local_time(&t)->tm_hour, 13);

    // A failed conversion gives the cleared record.
    platform_globals().failing_file_time_conversions = 1;
    EXPECT_EQ(date_of(*local_time(&t)), std::make_tuple(0, 0, 0, 0, 0, 0, 0));
}

TEST(TimeZoneRules, TranslatePosixRules)
{
    struct rule_case {
        const char* rule;
        int32_t bias, daylight_bias;  // minutes
        int32_t daylight_month, daylight_week, daylight_hour, standard_month, standard_hour;
    };
    const rule_case rules[] = {
        {"CET-1CEST,M3.5.0,M10.5.0/3", -60, -60, 3, 5, 2, 10, 3},
        {"<+0530>-5:30", -330, 0, 0, 0, 0, 0, 0},
        // Half-hour daylight saving (Lord Howe) and a negative rule time (Nuuk) are kept.
        {"<+1030>-10:30<+11>-11,M10.1.0,M4.1.0", -630, -30, 10, 1, 2, 4, 2},
        {"<-02>2<-01>,M3.5.0/-1,M10.5.0/0", 120, -60, 3, 5, -1, 10, 0},
        // Dublin's winter "daylight saving" is turned round: summer is the daylight period.
        {"IST-1GMT0,M10.5.0,M3.5.0/1", 0, -60, 3, 5, 1, 10, 2},
        // Julian-day rules cannot be expressed: no daylight saving.
        {"ABC3DEF,J60,J300", 180, -60, 0, 0, 0, 0, 0},
    };
    for (const rule_case& r : rules) {
        TIME_ZONE_INFORMATION tz{};
        ASSERT_TRUE(tz_from_posix_rule(r.rule, &tz)) << r.rule;
        EXPECT_EQ(std::tuple(tz.Bias, tz.DaylightDate.wMonth, tz.DaylightDate.wDay, tz.DaylightDate.wHour,
                      tz.StandardDate.wMonth, tz.StandardDate.wHour),
            std::tuple(r.bias, r.daylight_month, r.daylight_week, r.daylight_hour, r.standard_month, r.standard_hour))
            << r.rule;
        EXPECT_EQ(r.daylight_month != 0 ? tz.DaylightBias : r.daylight_bias, r.daylight_bias) << r.rule;
    }
    // Months 1 to 12, weeks 1 to 5, weekdays 0 to 6: one step past either end is refused.
    TIME_ZONE_INFORMATION tz;
    for (const char* bad : {"", "UTC", "Europe/Berlin", "CET-1CEST,M13.1.0,M10.5.0", "CET-1CEST,M0.1.0,M10.5.0",
             "CET-1CEST,M3.0.0,M10.5.0", "CET-1CEST,M3.6.0,M10.5.0", "CET-1CEST,M3.5.7,M10.5.0", "CET-1CEST,M3.5.0",
             "AB-1"})
        EXPECT_FALSE(tz_from_posix_rule(bad, &tz)) << bad;
}

TEST(TimeZoneRules, ReadTheZoneFromTzAndTzifFooters)
{
    const std::string pad(40, '\0');  // version 2 carries the rule as a footer, version 1 none
    for (const auto& [file, rule] : {std::pair{"TZif2" + pad + "\nCET-1CEST,M3.5.0,M10.5.0/3\n", "CET-1CEST,M3.5.0,M10.5.0/3"},
             {"TZif" + pad + "\nCET-1\n", ""}, {"garbage\nCET-1\n", ""}, {"TZif2", ""}})
        EXPECT_EQ(tzif_footer_rule(file), rule) << file;

    temp_dir zones;
    std::filesystem::create_directories(zones.file("Test"));
    write_file(zones.file("Test/Zone"), std::string("TZif2") + std::string(40, '\0') + "\nEST5EDT,M3.2.0,M11.1.0\n");
    platform_reset();
    const std::optional<std::string> saved[] = {std::getenv("TZ") ? std::optional<std::string>(std::getenv("TZ")) : std::nullopt,
        std::getenv("TZDIR") ? std::optional<std::string>(std::getenv("TZDIR")) : std::nullopt};
    ::setenv("TZDIR", zones.path().c_str(), 1);

    for (const auto& [value, bias] : {std::pair{"Test/Zone", 300}, {":Test/Zone", 300}, {"JST-9", -540},
             {"No/Such/Zone", 0}, {"../../etc/passwd", 0}}) {
        ::setenv("TZ", value, 1);
        TIME_ZONE_INFORMATION tz{};
        const bool read = get_time_zone_information(&tz) != TIME_ZONE_ID_INVALID;
        EXPECT_EQ(read, bias != 0) << value;
        EXPECT_EQ(tz.Bias, bias) << value;
    }
    for (int i = 0; i < 2; ++i)
        static_cast<void>(saved[i] ? ::setenv(i ? "TZDIR" : "TZ", saved[i]->c_str(), 1) : ::unsetenv(i ? "TZDIR" : "TZ"));
}
