#include "session/first_day.h"

#include <unistd.h>

#include <algorithm>
#include <tuple>
#include <utility>
#include <vector>

#include "database/database.h"
#include "services/log.h"
#include "services/paths.h"
#include "session/review_log.h"
#include "session/saving.h"
#include "session/undo.h"

namespace {

// A day later by `days`; a day at the end of the range (an import's "never") stays there.
uint16_t later(uint16_t day, uint16_t days)
{
    return static_cast<uint16_t>(std::min<uint32_t>(uint32_t{day} + days, UINT16_MAX));
}

// Sets every item's days through `set`, keeping the list's order.
template <typename Set>
void set_item_days(Set&& set)
{
    std::vector<item*> items;
    for (item* e = db().head; e; e = e->next)
        items.push_back(e);
    // Out of the list while their days change, so that its index of due days follows.
    for (item* e : items)
        unlink_scheduled(e);
    for (size_t i = 0; i < items.size(); ++i)
        set(i, *items[i]);
    item* at = nullptr;
    for (item* e : items) {
        link_scheduled_after(at, e);
        at = e;
    }
}

}  // namespace

first_day_move move_first_day_back(uint32_t time_of_start, uint16_t days, logged_days log)
{
    database& d = db();
    forget_undo();  // its steps hold the days before the move
    const uint32_t before = d.time_of_start;
    std::vector<std::pair<uint16_t, uint16_t>> kept;  // each item's days before, for a failure
    kept.reserve(d.item_count);
    d.time_of_start = time_of_start;
    set_item_days([&](size_t, item& e) {
        kept.emplace_back(e.tmtrpt, e.stmtrpt);
        e.tmtrpt = later(e.tmtrpt, days);
        e.stmtrpt = later(e.stmtrpt, days);
    });
    const std::string log_path = data_path(review_log_name);
    const bool has_log = ::access(log_path.c_str(), F_OK) == 0;
    const save_result saved = log == logged_days::kept ? save_database(false, false)
                                                       : save_database_with({review_log_name, [&](FILE* out) {
                                                             return !has_log || copy_review_log_days_later(log_path, out, days);
                                                         }});
    if (saved.status == save_status::done) {
        // Grades a full disk kept waiting were not in the copy; they go in later, in the new days.
        if (log == logged_days::move)
            move_held_review_days(days);
        return first_day_move::moved;
    }
    // Where nothing could be saved, the days stay as they were: a day before the first reads as
    // far ahead, as it did.
    d.time_of_start = before;
    set_item_days([&](size_t i, item& e) { std::tie(e.tmtrpt, e.stmtrpt) = kept[i]; });
    write_log("WARNING: the database's first day could not be moved %u days back: \"%s\" could not be saved\n",
        static_cast<unsigned>(days), saved.problem.path.c_str());
    return first_day_move::not_saved;
}
