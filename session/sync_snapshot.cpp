#include "session/sync_snapshot.h"

#include <algorithm>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "database/category_edits.h"
#include "formats/change_log_trim.h"
#include "formats/sync_snapshot.h"
#include "platform/files.h"
#include "services/log.h"
#include "services/services_state.h"
#include "session/first_day.h"
#include "session/lifecycle.h"
#include "session/review_log.h"
#include "session/sync_apply.h"
#include "session/sync_state.h"
#include "session/undo.h"

namespace {

// Where the last snapshot written here (or the opening) stood: another is written only once
// the database took a change since.
struct snapshot_mark {
    std::map<uint64_t, uint64_t> positions;  // the other computers' records applied
    uint64_t own = 0;  // this computer's records applied
    bool operator==(const snapshot_mark&) const = default;
};

snapshot_mark& last_snapshot()
{
    static snapshot_mark mark;
    return mark;
}

snapshot_mark current_mark()
{
    const sync_globals& g = sync_g();
    return {g.inbox->positions(), g.own_applied};
}

change_version version_of(const field_version& v) { return {v.stamp, v.computer}; }

snapshot_entry entry_of(const item_marks& m, change_kind kind, uint16_t ctgr, std::string question, std::string answer)
{
    snapshot_entry e;
    e.made.kind = kind;
    e.made.item = m.key;
    e.made.path = category_names_from_top(ctgr);
    e.made.question = std::move(question);
    e.made.answer = std::move(answer);
    e.schedule_set = version_of(m.schedule);
    e.texts_set = version_of(m.texts);
    e.place_set = version_of(m.place);
    return e;
}

sync_snapshot snapshot_of_open_database()
{
    const sync_globals& g = sync_g();
    sync_snapshot s;
    s.computer = g.me;
    s.latest_stamp = g.latest_stamp;
    s.covered = g.inbox->positions();
    s.covered[g.me] = g.own_applied;
    for (const auto& [from, ends] : g.renamed)
        for (const rename_away& r : ends)
            s.renamed.push_back({from, r.to, version_of(r.v)});
    for (const auto& [path, v] : g.made)
        s.made.emplace_back(path, version_of(v));
    for (const auto& [path, v] : g.deleted)
        s.deleted.emplace_back(path, version_of(v));
    for (const auto& [copy, key] : g.same_as)
        if (record_with(key))
            s.same_as.emplace_back(copy, key);
    const auto order = [](const item_key& k) { return std::pair(k.computer, k.number); };
    std::ranges::sort(s.same_as, {}, [&order](const auto& p) { return std::pair(order(p.first), order(p.second)); });
    for (uint16_t c = 0; c < category_count(); ++c)
        s.categories.push_back(category_names_from_top(c));
    // An item without an identity is in no log either (the log could not take it): it is
    // recorded at the next opening, and goes into a snapshot after that.
    for (const item* e = db().head; e; e = e->next)
        if (const item_marks* m = marks_of(e)) {
            s.entries.push_back(entry_of(*m, change_kind::add_item, e->ctgr, e->question.str(), e->answer.str()));
            s.entries.back().made.schedule = schedule_of(*e);
        }
    for (const pending_item* p = db().pending_head; p; p = p->next)
        if (const item_marks* m = marks_of(p))
            s.entries.push_back(
                entry_of(*m, change_kind::queue_add, p->ctgr, std::string(p->question), std::string(p->answer)));
    return s;
}

void join(const std::string& path, const sync_snapshot& snapshot, sync_summary& s)
{
    sync_globals& g = sync_g();
    change_record made;
    made.kind = change_kind::category_make;
    for (const std::vector<std::string>& c : snapshot.categories) {
        made.path = c;
        apply_snapshot_record(made, snapshot.computer);
    }
    for (const snapshot_entry& e : snapshot.entries) {
        apply_snapshot_record(e.made, e.made.item.computer);
        if (item_marks* m = marks_of(record_with(e.made.item))) {
            m->schedule = {e.schedule_set.stamp, e.schedule_set.computer};
            m->texts = {e.texts_set.stamp, e.texts_set.computer};
            m->place = {e.place_set.stamp, e.place_set.computer};
        }
    }
    for (const auto& [copy, key] : snapshot.same_as)
        g.same_as[copy] = key;
    // Set only now: the snapshot's categories are named as they are, not as they were.
    for (const snapshot_rename& r : snapshot.renamed)
        note_rename_away(r.from, r.to, {r.set.stamp, r.set.computer});
    g.made.clear();
    for (const auto& [path, v] : snapshot.made)
        g.made[path] = {v.stamp, v.computer};
    for (const auto& [path, v] : snapshot.deleted)
        g.deleted[path] = {v.stamp, v.computer};
    for (const auto& [computer, sequence] : snapshot.covered) {
        if (computer == g.me)
            g.own_applied = sequence;
        else
            g.inbox->applied(computer, sequence);
    }
    g.latest_stamp = std::max(g.latest_stamp, snapshot.latest_stamp);
    s.joined_from = snapshot.computer;
    write_log("INFO: started from the snapshot \"%s\" of the sync folder\n", path.c_str());
}

void trim_own_log()
{
    const sync_globals& g = sync_g();
    const sync_folder_view view = look_at_sync_folder(g.folder);
    uint64_t through = covered_by_all(view, g.me, sync_clock_ms());
    if (through == 0)
        return;
    // Only the records old enough: the stamps of this computer's own log never go down.
    const std::string path = g.folder + change_log_name(g.me);
    std::string bytes;
    if (!read_change_log_file(path, 0, &bytes))
        return;
    const uint64_t now = sync_clock_ms();
    uint64_t old_enough = 0;
    for (const change_record& r : read_change_log(bytes).records) {
        if (r.stamp + trim_age_ms > now)
            break;
        old_enough = r.sequence;
    }
    through = std::min(through, old_enough);
    if (through == 0)
        return;
    if (trim_change_log(path, g.me, through) == change_trim_status::cannot_write)
        write_log("WARNING: the change log \"%s\" could not be trimmed: %s\n", path.c_str(), std::strerror(errno));
}

// Whether a log was trimmed past the records applied here: a computer that was away longer
// than the others waited for it (or one whose sync.state came back from a backup).
bool behind_a_trim()
{
    const sync_globals& g = sync_g();
    for (const auto& [computer, head] : sync_log_heads(g.folder)) {
        const uint64_t applied = computer == g.me ? g.own_applied : g.inbox->applied_of(computer);
        if (head > applied + 1)
            return true;
    }
    return false;
}

// Per computer whose log goes on past records of its that no file here holds and that are not
// applied here, the last of them. An older copy of the log put back while its writer was not
// running leaves such a gap for good (a number is never given twice); a service that kept the
// newer side of that conflict as a copy beside it still holds them.
std::map<uint64_t, uint64_t> gaps_in_logs()
{
    const sync_globals& g = sync_g();
    std::map<uint64_t, std::set<uint64_t>> held;
    std::map<uint64_t, std::vector<std::pair<uint64_t, uint64_t>>> jumps;  // first and last number skipped
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(g.folder, ec)) {
        const sync_file_name kind = classify_sync_file(entry.path().filename().string());
        std::string bytes;
        if (kind.role == sync_file_role::other || kind.computer == g.me
            || !read_change_log_file(entry.path().string(), 0, &bytes))
            continue;
        const uint64_t applied = g.inbox->applied_of(kind.computer);
        uint64_t previous = 0;
        for (const change_record& r : read_change_log(bytes).records) {
            held[kind.computer].insert(r.sequence);
            if (kind.role == sync_file_role::change_log && previous != 0 && r.sequence > previous + 1
                && r.sequence - 1 > applied)
                jumps[kind.computer].emplace_back(std::max(previous, applied) + 1, r.sequence - 1);
            previous = r.sequence;
        }
    }
    std::map<uint64_t, uint64_t> gaps;
    for (const auto& [computer, skipped] : jumps) {
        const std::set<uint64_t>& has = held[computer];
        for (const auto& [from, to] : skipped)
            if (static_cast<uint64_t>(std::distance(has.lower_bound(from), has.upper_bound(to))) < to - from + 1)
                gaps[computer] = std::max(gaps[computer], to);
    }
    return gaps;
}

// Before starting again from a snapshot: the items and queue items that came through the folder
// go, with what is known of them, and the categories that hold nothing left. Items that have
// no identity yet stay and are recorded after the join; this computer's records that the
// snapshot lacks are applied again from its log.
void drop_synced_collection(sync_summary& s)
{
    sync_globals& g = sync_g();
    forget_undo();
    for (item* e = db().head; e;)
        e = marks_of(e) ? remove_item(e) : e->next;
    for (pending_item* p = db().pending_head; p;)
        p = marks_of(p) ? remove_pending(p) : p->next;
    g.marks.clear();
    g.records.clear();
    g.renamed.clear();
    g.made.clear();
    g.deleted.clear();
    g.lost.clear();
    g.own_applied = 0;
    static_cast<void>(g.inbox->read_positions(""));
    for (bool removed = true; removed;) {
        std::vector<bool> holds(category_count(), false);
        const auto hold = [&](uint16_t c) {
            for (uint16_t up = c; up < holds.size() && !holds[up]; up = ::category_at(up)->parent)
                holds[up] = true;
        };
        for (const item* e = db().head; e; e = e->next)
            hold(e->ctgr);
        for (const pending_item* p = db().pending_head; p; p = p->next)
            hold(p->ctgr);
        for (const kept_queue_text& k : db().kept_queue)
            hold(k.ctgr);
        removed = false;
        for (uint16_t c = 1; c < holds.size() && !removed; ++c) {
            if (holds[c])
                continue;
            category_removal removal = delete_category(c);
            removed = removal.result == category_edit::done;
            if (removed)
                s.renumberings.push_back(std::move(removal.new_index));
        }
    }
}

// When the open database would begin for its first day to be calendar day `day` (since 1970);
// its own beginning where that is no later.
uint32_t time_of_start_on(uint16_t day)
{
    const uint16_t first = day_shift();
    if (day >= first)
        return db().time_of_start;
    uint32_t moved = db().time_of_start - static_cast<uint32_t>(first - day) * 86'400u;
    // A change of summer time between the two dates can leave it on the day after.
    while (day_shift_at(moved) > day)
        moved -= 3600;
    return moved;
}

// The earliest day (since 1970) that the items of the folder's logs and snapshots were made on,
// or that a schedule or a grade there names; `before` when none is earlier.
uint16_t earliest_day_in_folder(uint16_t before)
{
    uint16_t earliest = before;
    each_record_in_folder(
        [&](const change_record& r) { earliest = earliest_day_of(r, earliest, days_of_record::with_making); });
    return earliest;
}

// A new database begins on the day it is made, and its days count up from it, unsigned: an
// item from the folder due before then would be due never. A computer joining the folder begins
// instead on the earliest day the folder names, so that it holds every day as the others do. One
// that holds nothing yet only moves its first day (grades in its review log came from the folder
// then, counted from that day already); one with items or grades of its own moves their days with
// it and saves at once.
void begin_on_the_earliest_day()
{
    database& d = db();
    const bool empty = d.item_count == 0 && d.pending_count == 0
        && (file_size_or_zero(services().data_dir + review_log_name) == 0 || sync_g().effects.any());
    const uint16_t earliest = earliest_day_in_folder(day_shift());
    if (empty)
        d.time_of_start = std::min(d.time_of_start, time_of_start_on(earliest));
    else
        begin_by(earliest);
}

}  // namespace

uint16_t earliest_day_of(const change_record& r, uint16_t before, days_of_record days)
{
    // An item's id is the second it was made; a day earlier covers the zone it was made in. Days
    // of an item come after its making, also those of records that arrive later.
    const uint32_t made_day = days == days_of_record::with_making ? r.schedule.id / 86'400u : 0;
    const auto made = static_cast<uint16_t>(made_day > 0 ? made_day - 1 : 0);
    uint16_t earliest = before;
    // A record without a schedule holds zeros there; day 0 is no day (an undone introduction's
    // schedule is left unset).
    for (const uint16_t day : {made, r.schedule.due, r.schedule.interval_end, r.day})
        earliest = day != 0 ? std::min(earliest, day) : earliest;
    return earliest;
}

void begin_by(uint16_t day)
{
    const uint32_t moved = time_of_start_on(day);
    // Not saved: the days before the first read as far ahead, as they did.
    if (moved != db().time_of_start)
        static_cast<void>(move_first_day_back(moved, static_cast<uint16_t>(day_shift() - day_shift_at(moved))));
}

void each_record_in_folder(const std::function<void(const change_record&)>& take)
{
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(sync_g().folder, ec)) {
        const std::string name = entry.path().filename().string();
        std::string bytes;
        if (snapshot_owner(name)) {
            if (const std::optional<sync_snapshot> snapshot = read_snapshot_file(entry.path().string()))
                for (const snapshot_entry& e : snapshot->entries)
                    take(e.made);
        } else if (classify_sync_file(name).role != sync_file_role::other
            && read_change_log_file(entry.path().string(), 0, &bytes)) {
            for (const change_record& r : read_change_log(bytes).records)
                take(r);
        }
    }
}

uint64_t own_records_held_elsewhere()
{
    const sync_globals& g = sync_g();
    uint64_t held = 0;
    for (const auto& [writer, snapshot] : look_at_sync_folder(g.folder).snapshots)
        if (const auto it = snapshot.covered.find(g.me); it != snapshot.covered.end())
            held = std::max(held, it->second);
    return held;
}

void start_from_snapshot(sync_summary& s, bool own_lost)
{
    sync_globals& g = sync_g();
    last_snapshot() = current_mark();
    const bool fresh = g.own_applied == 0 && g.inbox->positions().empty();
    if (fresh)
        begin_on_the_earliest_day();
    const bool lost = fresh || own_lost || behind_a_trim();
    const std::map<uint64_t, uint64_t> gaps = lost ? std::map<uint64_t, uint64_t>{} : gaps_in_logs();
    if (!lost && gaps.empty())
        return;  // the logs go on from where it stands
    sync_folder_view view = look_at_sync_folder(g.folder);
    view.snapshots.erase(g.parted_from);
    const std::optional<uint64_t> writer = snapshot_to_join(view);
    if (!writer)
        return;
    const std::string path = g.folder + snapshot_name(*writer);
    const std::optional<sync_snapshot> snapshot = read_snapshot_file(path);
    if (!snapshot)
        return;  // replaced since the folder was looked at; the logs are read as they are
    for (const auto& [computer, last] : gaps)
        if (const auto it = snapshot->covered.find(computer); it == snapshot->covered.end() || it->second < last)
            return;  // a snapshot that holds the lost records may come yet
    // One that starts from a snapshot later (it had applied its own changes before the folder's
    // files arrived, or was away past a trim) began on a day of its own, which the snapshot's
    // days may precede. Moved before anything is dropped: the move saves the database, which
    // sync.state must still describe.
    uint16_t earliest = day_shift();
    for (const snapshot_entry& e : snapshot->entries)
        earliest = earliest_day_of(e.made, earliest, days_of_record::with_making);
    begin_by(earliest);
    if (!fresh) {
        write_log("WARNING: the change logs were trimmed past what this computer holds, lost records for good, or its "
                  "own log lost records the others hold; it starts again from a snapshot\n");
        drop_synced_collection(s);
    }
    join(path, *snapshot, s);
}

void save_sync_snapshot()
{
    const sync_globals& g = sync_g();
    // Kept changes are not in the log yet: a snapshot holding them would run ahead of it.
    if (!g.active || g.away || !g.kept.empty() || db().db_state != database_state::open)
        return;
    // A snapshot holding records that the log lost would let the others pass over them.
    if (const change_append_result whole = g.writer->make_whole();
        whole.status != change_append_status::appended && whole.status != change_append_status::cannot_sync) {
        write_log("WARNING: records the change log lost could not be written again: %s\n", std::strerror(whole.error));
        return;
    }
    struct stat st {};
    const std::string path = g.folder + snapshot_name(g.me);
    const snapshot_mark now = current_mark();
    if (now == last_snapshot() && ::stat(path.c_str(), &st) == 0)
        return;
    if (now.positions.empty() && now.own == 0)
        return;  // nothing here that came through the folder
    if (!write_snapshot_file(g.folder, snapshot_of_open_database())) {
        write_log("WARNING: the snapshot \"%s\" could not be written: %s\n", path.c_str(), std::strerror(errno));
        return;
    }
    last_snapshot() = now;
    trim_own_log();
}
