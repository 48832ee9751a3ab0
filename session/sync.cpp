#include "session/sync.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <map>

#include "calendar/calendar.h"
#include "database/days.h"
#include "services/log.h"
#include "session/lifecycle.h"
#include "services/services_state.h"
#include "session/sync_apply.h"
#include "session/sync_outbox.h"
#include "session/sync_rematch.h"
#include "session/saving.h"
#include "session/sync_same_items.h"
#include "formats/sync_snapshot.h"
#include "session/sync_snapshot.h"
#include "session/sync_state.h"

namespace {

std::function<void()>& problem_listener()
{
    static std::function<void()> tell;
    return tell;
}

void report_problem(sync_problem p)
{
    if (sync_g().problem || !sync_g().told.emplace(p.status, p.os_error).second)
        return;
    sync_g().problem = std::move(p);
    if (problem_listener())
        problem_listener()();
}

// Local day numbers and the records' days since 1970 (both modulo 65,536).
uint16_t to_record_day(uint16_t local) { return static_cast<uint16_t>(local + day_shift()); }

const char* append_problem(change_append_status s)
{
    switch (s) {
    case change_append_status::appended: return "";
    case change_append_status::cannot_open: return "cannot be opened";
    case change_append_status::not_a_log: return "is not this computer's change log";
    case change_append_status::cannot_write: return "cannot be written";
    case change_append_status::cannot_sync: return "cannot be synced to the disk";
    case change_append_status::another_writer: return "is written by another computer under this computer's id";
    }
    return "cannot be written";
}

// A record comes after everything its writer has seen, whatever the clocks say, so that a
// change made after one from elsewhere sorts after it on every computer.
uint64_t next_stamp() { return std::max(sync_clock_ms(), sync_g().latest_stamp + 1); }

// Appends a record of this computer's to its log now; its sequence, or 0 when the log did not
// take it (`then` ends the line in error.log; the user is told through sync_take_problem).
uint64_t append_to_log(change_record& r, uint64_t now, const char* then)
{
    sync_globals& g = sync_g();
    const change_append_result res = g.writer->append(r, now);
    if (res.status != change_append_status::appended && res.status != change_append_status::cannot_sync) {
        const std::string path = g.folder + change_log_name(g.me);
        write_log("ERROR: a change was not recorded: \"%s\" %s: %s%s\n", path.c_str(), append_problem(res.status),
            std::strerror(res.error), then);
        report_problem({res.status, path, res.error});
        return 0;
    }
    if (res.status == change_append_status::cannot_sync)
        write_log("WARNING: the change log could not be synced to the disk: %s\n", std::strerror(res.error));
    g.told.clear();
    g.latest_stamp = std::max(g.latest_stamp, r.stamp);
    g.own_applied = res.sequence;
    return res.sequence;
}

// Appends a record of this computer's, after the changes kept while the log could not take
// them; one it does not take is kept with them. Its sequence, or 0 when it is kept.
uint64_t append(change_record& r)
{
    sync_globals& g = sync_g();
    const uint64_t now = next_stamp();
    if (!g.away && send_kept_changes(true))
        if (const uint64_t sequence = append_to_log(r, now, "; it is kept until it can be"))
            return sequence;
    r.sequence = g.kept.size() + 1;
    r.stamp = now;
    g.kept.push_back(r);
    g.latest_stamp = now;
    return 0;
}

field_version own_version(const change_record& r) { return {r.stamp, sync_g().me}; }

// Records a change of a known item; nothing for an item that has no identity (yet).
change_record* about(const void* record, change_kind kind, change_record& r)
{
    const item_marks* m = marks_of(record);
    if (!sync_active() || !m)
        return nullptr;
    r.kind = kind;
    r.item = m->key;
    return &r;
}

void record_schedule(const item* e, change_kind kind, uint16_t grade, uint16_t elapsed, review_screen screen)
{
    change_record r;
    if (!about(e, kind, r))
        return;
    r.day = to_record_day(day_number(0));
    r.elapsed = elapsed;
    r.grade = static_cast<uint8_t>(grade);
    r.screen = static_cast<uint8_t>(screen);
    r.schedule = schedule_of(*e);
    static_cast<void>(append(r));  // or kept: in effect here either way
    marks_of(e)->schedule = own_version(r);
}

// Gives a new item or queue item its identity: this computer and the sequence of the record
// that made it.
void adopt(const void* record, change_record& r)
{
    // Its identity is the number the log gives its making: while changes are kept, it waits for
    // one with the items of a session without the folder.
    if (sync_g().away || !send_kept_changes(true))
        return;
    r.item = {sync_g().me, sync_g().writer->next_sequence()};
    // Never kept: its making would name a number the log gives another record. A refused append
    // is told by the append itself.
    const uint64_t sequence = r.item.number == 0 ? 0 : append_to_log(r, next_stamp(), "");
    if (sequence == 0 && r.item.number != 0)
        return;
    if (sequence != r.item.number) {
        report_problem({change_append_status::cannot_open, sync_g().folder + change_log_name(sync_g().me), 0});
        return;
    }
    bind_record(record, making_marks(r, sync_g().me));
}

void adopt_item(const item* e)
{
    change_record r;
    r.kind = change_kind::add_item;
    r.path = category_names_from_top(e->ctgr);
    r.question = e->question.str();
    r.answer = e->answer.str();
    r.schedule = schedule_of(*e);
    adopt(e, r);
}

void adopt_pending(const pending_item* p)
{
    change_record r;
    r.kind = change_kind::queue_add;
    r.path = category_names_from_top(p->ctgr);
    r.question = std::string(p->question);
    r.answer = std::string(p->answer);
    adopt(p, r);
}

// Every record without an identity gets one: the items that were there before syncing began,
// and those an import added.
size_t adopt_unknown()
{
    size_t adopted = 0;
    for (const item* e = db().head; e; e = e->next)
        if (!marks_of(e)) {
            adopt_item(e);
            ++adopted;
        }
    for (const pending_item* p = db().pending_head; p; p = p->next)
        if (!marks_of(p)) {
            adopt_pending(p);
            ++adopted;
        }
    return adopted;
}

// The folder cannot be read: the state is read so that the changes made here can be kept under
// the identities the others know, and sent when the folder is back.
sync_open_status open_away(const std::string& dir, uint64_t me)
{
    sync_globals& g = sync_g();
    g.folder = dir;
    g.me = me;
    g.inbox = std::make_unique<sync_inbox>(dir, me);
    g.active = g.away = true;
    // Items edited in a session before are found by the folder's records: the state stays as it
    // is until then.
    if (!read_state_file(services().data_dir + sync_state_name) || !g.unmatched.empty()) {
        sync_close();
        return sync_open_status::no_folder;
    }
    load_kept_changes({});
    record_offline_changes(changes_made_offline());
    return sync_open_status::no_folder;
}

}  // namespace

uint64_t sync_clock_ms() { return static_cast<uint64_t>(time_now()) * 1000; }

bool sync_active() { return sync_g().active; }
bool sync_keeps_changes() { return sync_g().away || !sync_g().kept.empty(); }
bool sync_folder_away() { return sync_g().away; }
const std::string& sync_folder() { return sync_g().folder; }

sync_open_status sync_open(const std::string& folder, uint64_t me, sync_summary* summary, sync_state_use state)
{
    sync_close();
    if (db().db_state != database_state::open)
        return sync_open_status::no_database;
    std::string dir = folder;
    if (dir.empty() || dir.back() != '/')
        dir += '/';
    struct stat st {};
    if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return state == sync_state_use::saved ? open_away(dir, me) : sync_open_status::no_folder;
    sync_globals& g = sync_g();
    g.folder = dir;
    g.me = me;
    g.writer = std::make_unique<change_log_writer>(dir + change_log_name(me), me);
    g.inbox = std::make_unique<sync_inbox>(dir, me);
    g.active = true;
    sync_open_status status = sync_open_status::opened;
    if (state == sync_state_use::rebuilt)
        g.parted_from = state_file_writer(services().data_dir + sync_state_name);
    if (state == sync_state_use::rebuilt || !read_state_file(services().data_dir + sync_state_name)) {
        if (state == sync_state_use::saved)
            write_log("WARNING: \"%s\" could not be read; every item is recorded anew\n",
                (services().data_dir + sync_state_name).c_str());
        g.marks.clear();
        g.records.clear();
        g.same_as.clear();
        g.own_applied = 0;
        static_cast<void>(g.inbox->read_positions(""));
        status = sync_open_status::state_damaged;
    }
    std::string own_log;
    if (!read_change_log_file(dir + change_log_name(me), 0, &own_log))
        own_log.clear();
    // The last record of this computer's that the database holds is another in the log: a copy
    // of this system wrote there under the same id. Going on would take its records for this
    // computer's own, and give numbers that name its items. (No print when sync.state was not
    // read, or kept none.)
    if (const uint64_t there = g.own_print != 0 ? record_print(own_log, g.own_applied) : 0;
        there != 0 && there != g.own_print) {
        write_log("ERROR: \"%s\" holds records this computer did not write: another computer writes it under "
                  "the same id\n", (dir + change_log_name(me)).c_str());
        sync_close();
        return sync_open_status::another_writer;
    }
    load_kept_changes(own_log);
    if (state == sync_state_use::rebuilt)
        g.kept.clear();
    // Into the log first, numbered after the records the others hold, so that a start from a
    // snapshot applies them again with this computer's other records that it lacks. After records
    // that a crash kept from the database, they are applied again with those. A log shorter than
    // what the others took as applied (the folder back from an older backup) must not give those
    // numbers again: the others would pass the new records over.
    const uint64_t held_elsewhere = own_records_held_elsewhere();
    g.writer->continue_after(g.own_applied);
    const bool own_lost = held_elsewhere >= g.writer->next_sequence() && g.writer->next_sequence() != 0;
    g.writer->continue_after(held_elsewhere);
    const bool had_kept = !g.kept.empty();
    if (!send_kept_changes(g.writer->next_sequence() == g.own_applied + 1))
        write_log("WARNING: changes made while the sync folder was away still cannot be recorded in it\n");
    const rematched edited = match_edited_records();
    const std::vector<offline_change> offline = changes_made_offline();
    if (g.effects.open(services().data_dir) == effects_status::unreadable)
        write_log("WARNING: \"%s\" could not be read\n", (services().data_dir + sync_effects_name).c_str());
    sync_summary s;
    // A copy of this collection, or this computer's records applied again after sync.state was
    // lost, makes items that are here already.
    gather_unrecorded();
    start_from_snapshot(s, own_lost);
    // The records the given-up id's log lost to a trim were this computer's: the database holds them.
    if (const auto heads = sync_log_heads(dir); g.parted_from != 0 && heads.contains(g.parted_from))
        if (const uint64_t head = heads.at(g.parted_from); g.inbox->applied_of(g.parted_from) + 1 < head)
            g.inbox->applied(g.parted_from, head - 1);
    const bool own_whole = apply_own_leftovers(s);
    const sync_summary arrived = sync_apply();
    s.arrived += arrived.arrived;
    s.applied += arrived.applied;
    s.conflicted += arrived.conflicted;
    s.waiting = arrived.waiting;
    s.conflicts.insert(s.conflicts.end(), arrived.conflicts.begin(), arrived.conflicts.end());
    s.conflict_copies = arrived.conflict_copies;
    s.damaged = arrived.damaged;
    s.renumberings.insert(s.renumberings.end(), arrived.renumberings.begin(), arrived.renumberings.end());
    // A grade given here of an item that arrived while the program ran, in a session that ended
    // without a save, comes after the item; before any append, which moves own_applied on.
    if (!own_whole && !apply_own_leftovers(s))
        write_log("WARNING: changes made here wait for changes from elsewhere that have not arrived\n");
    // A log that holds fewer of this computer's records than the database (a folder changed for
    // an empty one, a log deleted) must not give their numbers again.
    g.writer->continue_after(g.own_applied);
    // By identity: what the start applied may have deleted the item meanwhile.
    for (const item_key& key : edited.introduced)
        if (const void* record = record_with(key); record && !marks_of(record)->queued)
            record_schedule(static_cast<const item*>(record), change_kind::grade,
                static_cast<const item*>(record)->gr, 0, review_screen::queue);
    for (const item_key& key : edited.edited)
        if (const void* record = record_with(key); record && !marks_of(record)->queued)
            sync_note_edited(static_cast<const item*>(record));
        else if (record)
            sync_note_queue_edited(static_cast<const pending_item*>(record));
    record_offline_changes(offline);
    record_offline_changes(finish_unrecorded());
    s.adopted = adopt_unknown();
    // A rebuilt state is saved at once: the next start must not take the old one up again.
    if (((had_kept && g.kept.empty()) || state == sync_state_use::rebuilt) && !s.changed() && s.adopted == 0
        && !db().read_only)
        static_cast<void>(save_database(true, false));  // so that the kept file goes
    save_applied(s);
    // The others count this computer only once its snapshot arrives; until then they would
    // trim as if it were not there.
    if (s.joined_from != 0)
        save_sync_snapshot();
    if (summary)
        *summary = std::move(s);
    return status;
}

void sync_close()
{
    sync_globals& g = sync_g();
    g = sync_globals{};
    forget_copies();
}

void sync_on_problem(std::function<void()> tell) { problem_listener() = std::move(tell); }

sync_problem sync_take_problem()
{
    sync_problem p;
    std::swap(p, sync_g().problem);
    return p;
}

bool write_sync_state(FILE* out) { return write_state_file(out); }

void sync_note_grade(const item* e, uint16_t grade, uint16_t elapsed, review_screen screen)
{
    record_schedule(e, change_kind::grade, grade, elapsed, screen);
}

void sync_note_introduced(const pending_item* was, const item* e, uint16_t grade)
{
    const item_marks* m = marks_of(was);
    if (!sync_active() || !m)
        return;
    item_marks moved = *m;
    unbind_record(was);
    moved.queued = false;
    bind_record(e, moved);
    record_schedule(e, change_kind::grade, grade, 0, review_screen::queue);
}

void sync_note_undo(const void* was, const item* restored, const pending_item* back_in_queue, review_screen screen)
{
    const item_marks* m = marks_of(was);
    if (!sync_active() || !m)
        return;
    item_marks kept = *m;
    change_record r;
    r.kind = change_kind::undo;
    r.item = kept.key;
    r.screen = static_cast<uint8_t>(screen);
    if (restored)
        r.schedule = schedule_of(*restored);
    if (back_in_queue) {
        unbind_record(was);
        kept.queued = true;
        bind_record(back_in_queue, kept);
    }
    static_cast<void>(append(r));  // or kept: in effect here either way
    marks_of(restored ? static_cast<const void*>(restored) : back_in_queue)->schedule = own_version(r);
}

void sync_note_added(const item* e)
{
    if (sync_active())
        adopt_item(e);
}

void sync_note_queued(const pending_item* p)
{
    if (sync_active())
        adopt_pending(p);
}

namespace {

template <typename Record>
void record_texts(const Record* x)
{
    change_record r;
    if (!about(x, change_kind::edit_item, r))
        return;
    r.question = std::string(std::string_view(x->question));
    r.answer = std::string(std::string_view(x->answer));
    static_cast<void>(append(r));  // or kept: in effect here either way
    marks_of(x)->texts = own_version(r);
}

template <typename Record>
void record_move(const Record* x)
{
    change_record r;
    if (!about(x, change_kind::move_item, r))
        return;
    r.path = category_names_from_top(x->ctgr);
    static_cast<void>(append(r));  // or kept: in effect here either way
    marks_of(x)->place = own_version(r);
}

void record_delete(const void* x, change_kind kind)
{
    change_record r;
    if (!about(x, kind, r))
        return;
    static_cast<void>(append(r));
    unbind_record(x);
}

}  // namespace

void sync_note_edited(const item* e) { record_texts(e); }
void sync_note_queue_edited(const pending_item* p) { record_texts(p); }
void sync_note_moved(const item* e) { record_move(e); }
void sync_note_queue_moved(const pending_item* p) { record_move(p); }

void sync_note_rescheduled(const item* e, change_kind kind) { record_schedule(e, kind, e->gr, 0, review_screen::scheduled); }

void sync_note_deleted(const item* e) { record_delete(e, change_kind::delete_item); }
void sync_note_queue_deleted(const pending_item* p) { record_delete(p, change_kind::queue_delete); }

void sync_note_category(change_kind kind, std::vector<std::string> path, std::string text)
{
    if (!sync_active())
        return;
    change_record r;
    r.kind = kind;
    r.path = std::move(path);
    r.text = std::move(text);
    std::vector<std::string> now = r.path;
    if (kind == change_kind::category_rename && !r.path.empty()) {
        now.back() = r.text;
        note_category_renamed(r.path, now);
    }
    static_cast<void>(append(r));  // or kept
    if (kind == change_kind::category_rename && !r.path.empty())
        note_rename_away(r.path, now, own_version(r));
    if (kind == change_kind::category_delete)
        note_category_deleted(r.path, own_version(r));
    else
        note_category_made(now, own_version(r));  // a rename makes its new path
}

void sync_note_import(const std::string& file_name, uint32_t added)
{
    if (!sync_active())
        return;
    adopt_unknown();
    change_record r;
    r.kind = change_kind::import_done;
    r.text = file_name;
    r.count = added;
    static_cast<void>(append(r));
}
