#include "session/grading.h"

#include <algorithm>
#include <unordered_map>

#include "ann/feedback.h"
#include "calendar/calendar.h"
#include "session/choose.h"
#include "session/retention_control.h"
#include "session/review_log_passes.h"

namespace {

constexpr uint16_t max_interval = 2047;
constexpr uint16_t max_repetitions = 127;

uint16_t today() { return day_number(0); }

// The network may have learnt answers that would keep a recalled item in today's session for
// ever (0 days), or schedule it sooner than it has just proved to last. The chosen interval is
// held to the least that a pass means; the feedback has already seen the network's own answer.
uint16_t passing_interval(uint16_t interval, uint16_t elapsed, uint16_t grade)
{
    if (grade < lowest_passing_grade)
        return interval;
    const uint32_t least = grade == 5 ? elapsed + 1u : grade == 4 ? std::max<uint32_t>(elapsed, 1) : 1u;
    return static_cast<uint16_t>(std::max<uint32_t>(interval, std::min<uint32_t>(least, max_interval)));
}

// Repeat after repeat of an item failed again and again in one sitting teaches little and keeps
// the user on it; once it has failed failures_before_rest times in a day it rests until the next
// day. Passing grades are not counted.
uint16_t resting_interval(item* e, uint16_t interval, uint16_t grade)
{
    if (grade >= lowest_passing_grade)
        return interval;
    const uint16_t now = today();
    e->failed_times = e->failed_day == now ? static_cast<uint16_t>(e->failed_times + 1) : 1;
    e->failed_day = now;
    return rests_after(*e, grade) ? std::max<uint16_t>(interval, 1) : interval;
}

}  // namespace

bool rests_after(const item& e, uint16_t grade)
{
    return grade < lowest_passing_grade && e.failed_times >= failures_before_rest;
}

void count_todays_failures(const std::string& log_path)
{
    const uint16_t now = today();
    std::unordered_map<uint32_t, uint16_t> failed;  // item id to its standing failures of today
    backward_undos undos;
    // Today's grades are the log's last records, but grades that another computer gave on other
    // days may have arrived among them while the program ran: the walk back ends at the first
    // chunk, the size of a busy day, that holds none of today's.
    review_log_chunks chunks(log_path, review_log_chunks::direction::backward, UINT64_MAX, 4096);
    bool today_read = true;
    for (auto chunk = chunks.next(); !chunk.empty() && today_read; chunk = chunks.next()) {
        today_read = false;
        for (size_t end = chunk.size(); end >= review_record_size; end -= review_record_size) {
            review_record r;
            if (!decode_review(chunk.data() + end - review_record_size, &r) || r.day != now)
                continue;
            today_read = true;
            if (undos.stands(r) && r.grade < lowest_passing_grade)
                ++failed[r.item_id];
        }
    }
    if (failed.empty())
        return;
    for (item* e = db().head; e; e = e->next)
        if (const auto f = failed.find(e->id); f != failed.end()) {
            e->failed_day = now;
            e->failed_times = f->second;
        }
}

item* create_item(uint16_t grade, const char* question, const char* answer, uint16_t ctgr)
{
    item* e = new_item();
    const uint16_t proposed = propose_interval(0, 0, 0, grade);
    e->ivl = resting_interval(e,
        passing_interval(controlled_interval(retention_control_state(), proposed, 0, grade, interval_origin::young), 0, grade), grade);
    e->ctgr = ctgr;
    e->gr = grade;
    e->tmtrpt = e->stmtrpt = static_cast<uint16_t>(e->ivl + today());
    e->id = time_now();
    e->question = question ? question : "";
    e->answer = answer ? answer : "";
    insert_scheduled(nullptr);
    insert_scheduled(e);
    ++db().item_count;
    return e;
}

item* introduce_pending(uint16_t grade, pending_item* pending)
{
    item* e = create_item(grade, pending->question.c_str(), pending->answer.c_str(), pending->ctgr);
    remove_pending(pending);
    return e;
}

uint16_t elapsed_days(const item* e) { return static_cast<uint16_t>(e->ivl - e->tmtrpt + today()); }

uint16_t grade_item(item* e, uint16_t grade)
{
    const uint16_t elapsed = elapsed_days(e);
    retention_control& control = retention_control_state();
    if (e->ivl > 0 && elapsed >= e->ivl)
        note_due_review(control, grade, origin_of(*e), elapsed, e->ivl);
    // Failed earlier today (the first grade of a new item aside).
    const bool repeat = e->ivl == 0 && elapsed == 0 && e->rp > 0;
    feedback_to_ann(e->livl, e->rllivl, e->rp, e->gr, e->ivl, elapsed, grade);
    // A repetition counts only when the scheduled interval has run its course.
    if (e->stmtrpt <= today() && e->ivl > 0 && e->rp < max_repetitions)
        ++e->rp;
    const uint16_t proposed = propose_interval(e->ivl, elapsed, e->rp, grade);
    const uint16_t interval = resting_interval(e,
        passing_interval(controlled_interval(control, proposed, elapsed, grade, origin_of_grade(repeat, e->rp, grade)), elapsed, grade),
        grade);
    apply_interval(e, interval, grade);
    return interval;
}

void apply_interval(item* e, uint16_t interval, uint16_t grade)
{
    // The item leaves the list before its day changes, so that the list's index of due days
    // finds it under the day it was listed with.
    database& d = db();
    const bool alone = d.item_count <= 1 || !d.head || !d.head->next;
    item* const before = e->prev;
    item* const hint = d.insert_hint;
    const bool listed = unlink_scheduled(e);

    const uint16_t now = today();
    const auto due = static_cast<uint16_t>(now + interval);
    e->gr = grade;
    const uint16_t old_interval = e->ivl;
    e->ivl = interval;
    const uint16_t old_due = e->tmtrpt;
    e->tmtrpt = due;
    const auto real = static_cast<uint16_t>(old_interval - old_due + now);
    if (now >= e->stmtrpt)
        e->stmtrpt = due;
    e->livl = old_interval > max_interval ? max_interval : old_interval;
    e->rllivl = real > max_interval ? max_interval : real;

    if (!listed)
        return;
    if (alone) {
        // Nothing to move: it goes back where it was.
        link_scheduled_after(before, e);
        d.insert_hint = hint;
        return;
    }
    insert_scheduled(nullptr);
    insert_scheduled(e);
}
