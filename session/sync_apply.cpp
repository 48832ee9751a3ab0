#include "session/sync_apply.h"
#include "session/sync_apply_categories.h"
#include "session/sync_outbox.h"
#include "session/sync_paths.h"
#include "session/sync_same_items.h"

#include <cstdio>
#include <map>
#include <optional>
#include <set>

#include "ann/ann_files.h"
#include "ann/feedback.h"
#include "ann/network.h"
#include "calendar/calendar.h"
#include "database/category_edits.h"
#include "database/days.h"
#include "services/log.h"
#include "services/services_state.h"
#include "session/retention_control.h"
#include "session/sync_deletions.h"
#include "session/sync_snapshot.h"
#include "session/sync_state.h"
#include "session/undo.h"

namespace {

using outcome = record_outcome;

// The grades an apply brought, appended to reviews.log at once at its end: one sync for them
// all rather than one each.
std::vector<review_record>& arrived_reviews()
{
    static std::vector<review_record> records;
    return records;
}

// The open database's day shift, asked of the calendar once per apply rather than per field.
std::optional<uint16_t>& held_shift()
{
    static std::optional<uint16_t> shift;
    return shift;
}

struct shift_held {
    shift_held() { held_shift() = day_shift(); }
    ~shift_held() { held_shift().reset(); }
    shift_held(const shift_held&) = delete;
    shift_held& operator=(const shift_held&) = delete;
};

uint16_t to_local_day(uint16_t record_day)
{
    return static_cast<uint16_t>(record_day - (held_shift() ? *held_shift() : day_shift()));
}

void set_schedule(item* e, const item_schedule& s)
{
    const bool listed = unlink_scheduled(e);
    e->id = s.id;
    e->tmtrpt = to_local_day(s.due);
    e->stmtrpt = to_local_day(s.interval_end);
    e->ivl = s.interval;
    e->livl = s.last_interval;
    e->rllivl = s.real_last_interval;
    e->rp = s.repetitions;
    e->gr = s.grade;
    if (listed) {
        insert_scheduled(nullptr);
        insert_scheduled(e);
    }
}

item* make_item(const std::string& question, const std::string& answer, uint16_t ctgr, const item_schedule& s)
{
    item* e = new_item();
    e->question = question;
    e->answer = answer;
    e->ctgr = ctgr;
    set_schedule(e, s);
    insert_scheduled(nullptr);
    insert_scheduled(e);
    ++db().item_count;
    return e;
}

// What conflicts kept, written to sync-conflicts.txt once at the end of an apply.
std::string& conflict_lines()
{
    static std::string lines;
    return lines;
}

void write_conflict_lines()
{
    std::string& lines = conflict_lines();
    if (lines.empty())
        return;
    const std::string path = services().data_dir + "sync-conflicts.txt";
    FILE* f = std::fopen(path.c_str(), "ab");
    if (!f || std::fwrite(lines.data(), 1, lines.size(), f) != lines.size())
        write_log("ERROR: cannot keep a sync conflict in \"%s\"\n", path.c_str());
    if (f)
        std::fclose(f);
    lines.clear();
}

// Whether the item's making has been applied here: then an unknown key means it was deleted.
bool made_here(const item_key& key)
{
    const sync_globals& g = sync_g();
    const uint64_t applied = key.computer == g.me ? g.own_applied : g.inbox->applied_of(key.computer);
    return applied >= key.number;
}

void log_remote_review(const item* e, const change_record& r, uint16_t interval_before, review_event event)
{
    review_record l;
    l.time = static_cast<uint32_t>(r.stamp / 1000);
    l.item_id = e->id;
    l.day = to_local_day(r.day);
    l.elapsed = r.elapsed;
    l.interval_before = interval_before;
    l.interval_after = e->ivl;
    l.test_error = ann_globals().test_error;
    l.grade = r.grade;
    l.rp_after = static_cast<uint8_t>(e->rp);
    l.screen = static_cast<review_screen>(r.screen);
    l.event = event;
    arrived_reviews().push_back(l);
}

// The item went from the queue into learning or back: its identity goes with it.
void move_marks(const void* from, const void* to, bool queued, field_version v)
{
    item_marks moved = *marks_of(from);
    moved.queued = queued;
    moved.schedule = v;
    unbind_record(from);
    bind_record(to, moved);
}

// A queue item introduced elsewhere, scheduled as `s` by the change of version `v`.
item* introduce(const void* record, const item_schedule& s, field_version v)
{
    auto* p = static_cast<pending_item*>(const_cast<void*>(record));
    item* e = make_item(std::string(p->question), std::string(p->answer), p->ctgr, s);
    move_marks(p, e, false, v);
    remove_pending(p);
    return e;
}

outcome apply_grade(const change_record& r, const void* record, item_marks& m, field_version v, bool effects,
    sync_summary& s)
{
    if (m.queued) {
        if (!(m.schedule <= v))
            return record_conflict(s, "a grade of \"" + std::string(static_cast<const pending_item*>(record)->question)
                    + "\" was dropped: its introduction was undone later");
        // The introduction of a queue item: it is scheduled as the grading computer chose.
        item* e = introduce(record, r.schedule, v);
        if (effects)
            log_remote_review(e, r, 0, review_event::grade);
        return outcome::applied;
    }
    auto* e = static_cast<item*>(const_cast<void*>(record));
    // The network learns from every grade, wherever it was given; the schedule is the one the
    // grading computer set, unless a later change to it was applied here already.
    if (effects) {
        // The retention figures take a due review from elsewhere as grading here would.
        if (e->ivl > 0 && r.elapsed >= e->ivl)
            note_due_review(retention_control_state(), r.grade, origin_of(*e), r.elapsed, e->ivl);
        feedback_to_ann(e->livl, e->rllivl, e->rp, e->gr, e->ivl, r.elapsed, r.grade);
    }
    const uint16_t before = e->ivl;
    if (m.schedule <= v) {
        set_schedule(e, r.schedule);
        m.schedule = v;
    } else {
        s.conflicts.push_back("a grade of \"" + e->question.str() + "\" came after a later change of its schedule");
    }
    if (effects)
        log_remote_review(e, r, before, review_event::grade);
    return outcome::applied;
}

outcome apply_undo(const change_record& r, const void* record, item_marks& m, field_version v, bool effects,
    sync_summary& s)
{
    if (m.queued)
        return outcome::applied;  // put back in the queue here already
    auto* e = static_cast<item*>(const_cast<void*>(record));
    if (static_cast<review_screen>(r.screen) == review_screen::queue) {
        if (!(m.schedule <= v))
            return record_conflict(s, "the undone introduction of \"" + e->question.str() + "\" came before a later grade; it stays");
        pending_item* p = new_pending_item();
        p->question = std::string(e->question.view());
        p->answer = std::string(e->answer.view());
        p->ctgr = e->ctgr;
        append_pending(p);
        move_marks(e, p, true, v);
        remove_item(e);
        return outcome::applied;
    }
    const uint16_t before = e->ivl;
    if (m.schedule <= v) {
        set_schedule(e, r.schedule);
        m.schedule = v;
    }
    change_record shown = r;
    shown.grade = static_cast<uint8_t>(e->gr);
    if (effects)
        log_remote_review(e, shown, before, review_event::undo);
    return outcome::applied;
}

void set_category(const void* record, bool queued, uint16_t c)
{
    if (queued)
        static_cast<pending_item*>(const_cast<void*>(record))->ctgr = c;
    else
        static_cast<item*>(const_cast<void*>(record))->ctgr = c;
}

// A record here that `r` makes again takes its identity. Both were one item once, and the
// arriving side's texts and category stand (texts given here that differ are kept as the losing
// edit, for the browser to offer); of the schedules, the one set by the later grade.
void take_as_made(const void* same, const change_record& r, const item_marks& m, uint16_t c, sync_summary& s)
{
    bind_record(same, m);
    const auto take_texts = [&r, &s](auto* record, const char* what) {
        if (record->question.view() == r.question && record->answer.view() == r.answer)
            return;
        sync_g().lost[r.item] = {record->question.str(), record->answer.str()};
        static_cast<void>(record_conflict(s, std::string(what) + " \"" + r.question
                + "\" was here already with other texts; they are kept as its losing edit"));
        record->question = r.question;
        record->answer = r.answer;
    };
    if (r.kind == change_kind::queue_add) {
        auto* p = static_cast<pending_item*>(const_cast<void*>(same));
        take_texts(p, "the queue item");
        p->ctgr = c;
        return;
    }
    auto* e = static_cast<item*>(const_cast<void*>(same));
    take_texts(e, "the item");
    e->ctgr = c;
    const int graded_here = e->tmtrpt - e->ivl;
    const int graded_there = to_local_day(r.schedule.due) - r.schedule.interval;
    if (graded_here > graded_there)
        note_schedule_kept(e);
    else
        set_schedule(e, r.schedule);
}

// The same item made on two computers: the record's key names it here too, and its schedule and
// category weigh as any change's.
void take_second_making(const void* copy, const change_record& r, field_version v, uint16_t c)
{
    item_marks& m = *marks_of(copy);
    note_copy(r.item, m.key);
    if (m.place <= v) {
        m.place = v;
        set_category(copy, m.queued, c);
    }
    if (m.queued)
        return;
    if (const field_version made = making_version(r, v.computer); m.schedule <= made) {
        m.schedule = made;
        set_schedule(static_cast<item*>(const_cast<void*>(copy)), r.schedule);
    }
}

// `effects`: the record's line in reviews.log and the network's learning are still to be made
// here (not for this computer's own records, nor those a crash or a restore makes apply again).
outcome apply_record(const change_record& r, uint64_t writer, bool effects, sync_summary& s)
{
    const field_version v{r.stamp, writer};
    switch (r.kind) {
    case change_kind::add_item:
    case change_kind::queue_add: {
        if (record_with(r.item))
            return outcome::applied;
        const std::optional<uint16_t> c = category_following_renames(r.path, true, &v);
        const item_marks m = making_marks(r, writer);
        if (const void* same = take_unrecorded_match(r, c.value_or(0))) {
            take_as_made(same, r, m, c.value_or(0), s);
            return outcome::applied;
        }
        if (const void* copy = recorded_copy(r, c.value_or(0))) {
            take_second_making(copy, r, v, c.value_or(0));
            return outcome::applied;
        }
        const void* made = nullptr;
        if (r.kind == change_kind::add_item) {
            made = make_item(r.question, r.answer, c.value_or(0), r.schedule);
        } else {
            pending_item* p = new_pending_item();
            p->question = r.question;
            p->answer = r.answer;
            p->ctgr = c.value_or(0);
            append_pending(p);
            made = p;
        }
        bind_record(made, m);
        note_made(made, m.queued);
        return outcome::applied;
    }
    case change_kind::import_done:
        return outcome::applied;
    case change_kind::category_make:
    case change_kind::category_rename:
    case change_kind::category_delete:
        return apply_category_record(r, v, s);
    default:
        break;
    }
    const void* record = record_with(r.item);
    if (!record) {
        if (!made_here(r.item))
            return outcome::wait;
        if (r.kind == change_kind::grade || r.kind == change_kind::edit_item)
            return record_conflict(s, std::string(r.kind == change_kind::grade ? "a grade" : "an edit")
                    + " of an item deleted here was dropped: the item is gone",
                r.kind == change_kind::edit_item ? &r : nullptr);
        return outcome::applied;
    }
    item_marks& m = *marks_of(record);
    switch (r.kind) {
    case change_kind::grade: return apply_grade(r, record, m, v, effects, s);
    case change_kind::undo: return apply_undo(r, record, m, v, effects, s);
    case change_kind::edit_item: {
        if (!(m.texts <= v)) {
            sync_g().lost[r.item] = {r.question, r.answer};
            return record_conflict(s, "an earlier edit made elsewhere lost to a later one", &r);
        }
        m.texts = v;
        if (m.queued) {
            auto* p = static_cast<pending_item*>(const_cast<void*>(record));
            p->question = r.question;
            p->answer = r.answer;
        } else {
            auto* e = static_cast<item*>(const_cast<void*>(record));
            e->question = r.question;
            e->answer = r.answer;
        }
        return outcome::applied;
    }
    case change_kind::move_item: {
        if (!(m.place <= v))
            return outcome::applied;  // a later move here stands
        m.place = v;
        set_category(record, m.queued, category_following_renames(r.path, true, &v).value_or(0));
        return outcome::applied;
    }
    case change_kind::forget_item:
    case change_kind::make_due:
        if (!(m.schedule <= v))
            return outcome::applied;  // a later change of the schedule, or an undone introduction, stands
        if (m.queued) {
            // Introduced elsewhere, and the introduction is still on its way: the item is
            // scheduled as this later change left it, and the introduction, when it comes, is
            // only a grade before it.
            static_cast<void>(introduce(record, r.schedule, v));
            return outcome::applied;
        }
        m.schedule = v;
        set_schedule(static_cast<item*>(const_cast<void*>(record)), r.schedule);
        return outcome::applied;
    case change_kind::delete_item:
    case change_kind::queue_delete: {
        // Deleted from the queue elsewhere and introduced here, or the other way: gone either way.
        const bool queued = m.queued;
        unbind_record(record);
        if (queued)
            remove_pending(static_cast<pending_item*>(const_cast<void*>(record)));
        else
            remove_item(static_cast<item*>(const_cast<void*>(record)));
        return outcome::applied;
    }
    default:
        return outcome::applied;
    }
}

// The end of an apply: the grades' lines and the cases of the records that had their effects
// here (through: per computer, the last such record) are appended once, through sync.effects.
void finish_batch(const std::map<uint64_t, uint64_t>& through, sync_summary& s)
{
    sync_effects_batch batch;
    batch.cases = release_held_cases();
    batch.reviews.resize(arrived_reviews().size() * review_record_size);
    for (size_t i = 0; i < arrived_reviews().size(); ++i)
        encode_review(arrived_reviews()[i], reinterpret_cast<unsigned char*>(batch.reviews.data()) + i * review_record_size);
    arrived_reviews().clear();
    write_conflict_lines();
    if (!through.empty() && sync_g().effects.commit(through, batch) != effects_status::done)
        s.conflicts.push_back("the grades that arrived could not all be written to reviews.log and user_cases.bin");
}

// Records about to be applied may name days before the open database's first day, which its
// unsigned day numbers cannot hold (an older collection joined the folder later): the first day
// moves back to the earliest of them first, once, while the database and sync.state still agree
// and before any grade's line waits to be appended.
void begin_by_earliest_of(const std::vector<change_record>& records)
{
    uint16_t earliest = day_shift();
    for (const change_record& r : records)
        earliest = earliest_day_of(r, earliest, days_of_record::set);
    begin_by(earliest);
}

void count(outcome o, sync_summary& s)
{
    if (o == outcome::applied)
        ++s.applied;
    else if (o == outcome::conflicted)
        ++s.conflicted;
}

}  // namespace

record_outcome record_conflict(sync_summary& s, const std::string& what, const change_record* kept)
{
    s.conflicts.push_back(what);
    std::string& lines = conflict_lines();
    lines += std::to_string(sync_clock_ms() / 1000) + "\t" + what + "\n";
    if (kept)
        lines += "\tquestion: " + kept->question + "\n\tanswer: " + kept->answer + "\n";
    return record_outcome::conflicted;
}

bool apply_own_leftovers(sync_summary& s)
{
    sync_globals& g = sync_g();
    std::string bytes;
    if (!read_change_log_file(g.folder + change_log_name(g.me), 0, &bytes))
        return true;
    const change_log_read read = read_change_log(bytes);
    begin_by_earliest_of(read.records);
    const shift_held shift;
    bool whole = true;
    for (const change_record& r : read.records) {
        g.latest_stamp = std::max(g.latest_stamp, r.stamp);
        if (r.sequence <= g.own_applied || !whole)
            continue;
        // Its line and its case were written when it was made here.
        const outcome o = apply_record(r, g.me, false, s);
        whole = o != outcome::wait;
        if (!whole)
            continue;
        count(o, s);
        g.own_applied = r.sequence;
    }
    write_conflict_lines();
    return whole;
}

void apply_snapshot_record(const change_record& r, uint64_t writer)
{
    sync_summary not_told;
    static_cast<void>(apply_record(r, writer, false, not_told));
}

sync_summary sync_apply()
{
    sync_summary s;
    sync_globals& g = sync_g();
    if (!g.active || g.away)
        return s;
    // Before any change of here that the records may bring about.
    static_cast<void>(send_kept_changes(true));
    sync_arrivals a = g.inbox->collect();
    begin_by_earliest_of(a.records);
    const shift_held shift;
    s.arrived = a.records.size();
    s.conflict_copies = std::move(a.conflict_copies);
    s.damaged = std::move(a.damaged);
    std::vector<size_t> left(a.records.size());
    for (size_t i = 0; i < left.size(); ++i)
        left[i] = i;
    // A record that names an item whose making is still on its way holds back its computer's
    // later records; the others go on, and it is tried again after them.
    std::map<uint64_t, uint64_t> through;
    hold_case_appends();
    bool progress = true;
    while (!left.empty() && progress) {
        progress = false;
        std::set<uint64_t> blocked;
        std::vector<size_t> still;
        for (const size_t i : left) {
            const uint64_t writer = a.computers[i];
            const change_record& r = a.records[i];
            if (blocked.count(writer)) {
                still.push_back(i);
                continue;
            }
            const bool effects = !g.effects.had_effects(writer, r.sequence);
            g.effects.applying(r, effects);
            const outcome o = apply_record(r, writer, effects, s);
            if (o == outcome::wait) {
                blocked.insert(writer);
                still.push_back(i);
                continue;
            }
            g.effects.applied(writer, r, effects);
            count(o, s);
            g.latest_stamp = std::max(g.latest_stamp, r.stamp);
            g.inbox->applied(writer, r.sequence);
            if (effects)
                through[writer] = r.sequence;
            progress = true;
        }
        left = std::move(still);
    }
    s.waiting = a.waiting + left.size();
    // A making or a move may have arrived under a deletion, or a move emptied a deleted category.
    drop_deleted_categories(s);
    finish_batch(through, s);
    // Undo steps point at records and places in the list that the changes may have moved.
    if (s.applied > 0 || s.conflicted > 0)
        forget_undo();
    return s;
}
