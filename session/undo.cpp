#include "session/undo.h"

#include <deque>
#include <optional>

#include "ann/ann_files.h"
#include "calendar/calendar.h"
#include "database/days.h"
#include "platform/composed_text.h"
#include "session/grading.h"
#include "session/retention_control.h"
#include "session/sync.h"

namespace {

// A record the log cannot take waits in memory and the user is told once, so a grade or an
// undo goes on whatever the append did.
void log_review(const review_record& r) { static_cast<void>(append_review(r)); }

// Where the queue item an introduction took was, to put it back there.
struct pending_snapshot {
    // Its position in the queue. Not its predecessor's address: undoing a later introduction
    // of that predecessor makes a new record.
    uint32_t position = 0;
};

// The fields a grade changes, with the place the item had in the scheduled list.
struct undo_step {
    review_screen screen = review_screen::scheduled;  // the screen that gave the grade
    item* e = nullptr;  // the graded item, or the one made from the queue item
    item fields;  // e's scheduling fields before the grade (texts and link unused)
    item* before = nullptr;  // e's predecessor in the list before the grade; null at the head
    std::optional<pending_snapshot> pending;  // set for an introduction
    ann_checkpoint network;  // the network before the grade
    retention_control control;  // the grading's retention figures before the grade
    review_record logged;  // the log's record of the grade
};

// The session's undo steps, oldest first.
struct undo_state {
    std::deque<undo_step> steps;
};

// More steps than a long session needs; the oldest go first.
constexpr size_t max_undo_steps = 1000;

undo_state& undo_globals()
{
    static undo_state s;
    return s;
}

void copy_schedule(const item& from, item& to)
{
    to.id = from.id;
    to.tmtrpt = from.tmtrpt;
    to.stmtrpt = from.stmtrpt;
    to.ctgr = from.ctgr;
    to.livl = from.livl;
    to.rllivl = from.rllivl;
    to.ivl = from.ivl;
    to.rp = from.rp;
    to.gr = from.gr;
    to.failed_day = from.failed_day;
    to.failed_times = from.failed_times;
    to.sstick = from.sstick;
    to.hstick = from.hstick;
}

review_record record_of(const item& after, uint16_t grade, uint16_t elapsed, uint16_t interval_before,
    review_screen screen)
{
    review_record r;
    r.time = time_now();
    r.item_id = after.id;
    r.day = day_number(0);
    r.elapsed = elapsed;
    r.interval_before = interval_before;
    r.interval_after = after.ivl;
    r.test_error = ann_globals().test_error;
    r.grade = static_cast<uint8_t>(grade);
    r.rp_after = static_cast<uint8_t>(after.rp);
    r.screen = screen;
    return r;
}

uint32_t queue_position(const pending_item* p)
{
    uint32_t n = 0;
    for (const pending_item* q = db().pending_head; q && q != p; q = q->next)
        ++n;
    return n;
}

pending_item* queue_item_before(uint32_t position)
{
    pending_item* before = nullptr;
    for (pending_item* q = db().pending_head; q && position > 0; q = q->next, --position)
        before = q;
    return before;
}

void push(undo_step step)
{
    auto& steps = undo_globals().steps;
    if (steps.size() == max_undo_steps)
        steps.pop_front();
    steps.push_back(std::move(step));
}

}  // namespace

uint16_t grade_reviewed(item* e, uint16_t grade, review_screen screen)
{
    undo_step step;
    step.screen = screen;
    step.e = e;
    copy_schedule(*e, step.fields);
    step.before = scheduled_predecessor(e);
    step.network = take_ann_checkpoint();
    step.control = retention_control_state();
    const uint16_t elapsed = elapsed_days(e);
    const uint16_t interval_before = e->ivl;
    const uint16_t interval = grade_item(e, grade);
    step.logged = record_of(*e, grade, elapsed, interval_before, screen);
    log_review(step.logged);
    sync_note_grade(e, grade, elapsed, screen);
    push(std::move(step));
    return interval;
}

item* introduce_reviewed(uint16_t grade, pending_item* p)
{
    undo_step step;
    step.screen = review_screen::queue;
    step.pending = pending_snapshot{queue_position(p)};
    step.network = take_ann_checkpoint();
    step.control = retention_control_state();
    item* e = introduce_pending(grade, p);
    step.e = e;
    step.logged = record_of(*e, grade, 0, 0, review_screen::queue);
    log_review(step.logged);
    sync_note_introduced(p, e, grade);
    push(std::move(step));
    return e;
}

item* add_reviewed(uint16_t grade, const char* question, const char* answer, uint16_t ctgr)
{
    // Stored composed, as imports store them: a pasted "a" and combining diaeresis is found by a typed "ä".
    item* e = create_item(grade, composed_as_typed(question).c_str(), composed_as_typed(answer).c_str(), ctgr);
    log_review(record_of(*e, grade, 0, 0, review_screen::added));
    sync_note_added(e);
    return e;
}

undo_preview next_undo()
{
    undo_preview p;
    const auto& steps = undo_globals().steps;
    if (steps.empty())
        return p;
    const undo_step& s = steps.back();
    p.available = true;
    p.screen = s.screen;
    p.grade = s.logged.grade;
    p.question = s.e->question;
    return p;
}

undo_result undo_last_grade()
{
    undo_result result;
    auto& steps = undo_globals().steps;
    if (steps.empty())
        return result;
    undo_step step = std::move(steps.back());
    steps.pop_back();
    result.undone = true;
    result.screen = step.screen;
    database& d = db();
    unlink_scheduled(step.e);
    d.insert_hint = nullptr;
    pending_item* back_in_queue = nullptr;
    if (step.pending) {
        --d.item_count;
        // An undo takes back the grade, not a later edit or move of the item: the queue item
        // gets the item's texts and category as they are now (as other computers, which only
        // learn of the undo, do too).
        pending_item* p = new_pending_item();
        p->question = std::string(step.e->question.view());
        p->answer = std::string(step.e->answer.view());
        p->ctgr = step.e->ctgr;
        link_pending_after(queue_item_before(step.pending->position), p);
        result.restored_pending = p;
        back_in_queue = p;
    } else {
        const uint16_t moved_to = step.e->ctgr;
        copy_schedule(step.fields, *step.e);
        step.e->ctgr = moved_to;
        link_scheduled_after(step.before, step.e);
        result.restored_item = step.e;
    }
    sync_note_undo(step.e, result.restored_item, back_in_queue, step.screen);
    if (step.pending)
        free_item(step.e);
    result.network_restored = restore_ann_checkpoint(step.network);
    retention_control_state() = step.control;
    review_record undo = step.logged;
    undo.event = review_event::undo;
    undo.time = time_now();
    log_review(undo);
    return result;
}

void forget_undo() { undo_globals().steps.clear(); }
