#include "database/days.h"

#include <vector>

#include "calendar/calendar.h"
#include "database/database.h"
#include "services/log.h"

namespace {

// When day 0 begins: the day start of the database's first date, in standard time, moved by
// the daylight delta while daylight saving is in force now, so that the day changes at the same
// wall-clock time all year, whatever season the database was started in.
uint32_t day_zero_begins(uint32_t now)
{
    const database& d = db();
    const bool dst_now = local_time(&now)->tm_isdst != 0;
    calendar_time start = *local_time(&d.time_of_start);
    start.tm_hour = d.day_start_hour;
    start.tm_min = d.day_start_minute;
    start.tm_sec = 0;
    uint32_t anchor = make_time(&start);
    int32_t dst_delta = 0;
    get_tz_offsets(nullptr, &dst_delta);
    if (is_in_dst(&start))
        anchor -= static_cast<uint32_t>(dst_delta);
    if (dst_now)
        anchor += static_cast<uint32_t>(dst_delta);
    return anchor;
}

}  // namespace

uint16_t day_number(uint32_t t)
{
    const uint32_t now = time_now();
    const uint32_t anchor = day_zero_begins(now);
    if (t == 0)
        t = now;
    // A database begun between midnight and the day's start (a night's first session) is in
    // day 0 already: the unsigned difference would wrap to 49,710, and the items graded then
    // would be due 136 years ahead.
    if (t < anchor)
        return 0;
    return static_cast<uint16_t>((t - anchor) / 86'400u);
}

uint32_t repair_wrapped_first_hours()
{
    // (2^32 less those few hours) / 86,400: a last grade on this day is 136 years after the
    // first day, which no collection reaches.
    constexpr uint16_t wrapped = 49'710;
    // Only a database begun before its first day started (give or take the daylight hour) had
    // such hours: the others' starts need not go through every item.
    constexpr uint32_t daylight_margin = 3600;
    if (db().time_of_start >= day_zero_begins(time_now()) + daylight_margin)
        return 0;
    std::vector<item*> found;
    for (item* e = db().head; e; e = e->next)
        if (static_cast<uint16_t>(e->tmtrpt - e->ivl) == wrapped)
            found.push_back(e);
    if (found.empty())
        return 0;
    insert_scheduled(nullptr);
    for (item* e : found) {
        static_cast<void>(unlink_scheduled(e));
        if (e->stmtrpt == e->tmtrpt)
            e->stmtrpt = static_cast<uint16_t>(e->stmtrpt - wrapped);
        e->tmtrpt = static_cast<uint16_t>(e->tmtrpt - wrapped);
        insert_scheduled(e);
    }
    write_log("INFO: %zu items graded before the first day began were due %u days late; they are due on their "
              "interval's day now\n",
        found.size(), static_cast<unsigned>(wrapped));
    return static_cast<uint32_t>(found.size());
}
