#pragma once
// One collection on several computers through a sync folder: every change made here is
// appended to this computer's change log there as it is made, and the other computers' records
// are applied here in stamp order, each once. Items are named across computers by an item_key;
// which local record holds which key, how far each computer's log is applied and which change
// last set each item's schedule, texts and category are kept in sync.state in the data
// directory, saved together with elements.bin and queue.txt.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "database/database.h"
#include "formats/change_log.h"
#include "session/review_log.h"
#include "session/sync_state.h"

// The file of the data directory that holds the sync state.
inline constexpr const char sync_state_name[] = "sync.state";

// What an apply did, for the window to say.
struct sync_summary {
    size_t arrived = 0;  // records of other computers read and not applied before
    size_t applied = 0;  // of them, changed the database as recorded
    size_t conflicted = 0;  // of them, lost to a later change here or found nothing to change
    size_t waiting = 0;  // records that wait for earlier ones still on their way
    size_t adopted = 0;  // items of this computer given an identity and recorded
    uint64_t joined_from = 0;  // the computer whose snapshot this one started from; 0: none
    std::vector<std::string> conflicts;  // what each conflict was, one line each
    std::vector<std::string> conflict_copies;  // files a sync service made beside a log
    std::vector<std::string> damaged;  // logs with a damaged record, read up to it
    // Per category deletion applied, the indexes' renumbering (as delete_category gives it),
    // for whoever keeps category indexes.
    std::vector<std::vector<int32_t>> renumberings;
    bool changed() const { return applied > 0 || !renumberings.empty(); }
};

enum class sync_open_status {
    opened,  // the folder is in use
    no_database,  // no database is open
    no_folder,  // the folder cannot be read
    state_damaged,  // sync.state could not be read: opened, items the records make again taken as theirs, the rest given anew
    // Another computer wrote this computer's log under its id (a copy of this system): not
    // opened; open again under a new id, with sync_state_use::rebuilt.
    another_writer,
};

// What an open makes of sync.state.
enum class sync_state_use {
    saved,  // goes on from it
    // Made again from the folder, as when it cannot be read, and the changes kept for the log
    // dropped: under a new id after another computer wrote the old one's log, whose records
    // name items that may not be the ones here. What the database holds is told anew instead.
    rebuilt,
};

// Starts syncing the open database through `folder` as computer `me`: reads sync.state,
// re-applies this computer's own records that the saved database does not hold yet (a crash),
// records the items that have no identity yet, and applies what arrived. Call after ma_init.
sync_open_status sync_open(const std::string& folder, uint64_t me, sync_summary* summary,
    sync_state_use state = sync_state_use::saved);
// Applies what arrived since the last look.
sync_summary sync_apply();
// Stops syncing; call after the database is closed (its save writes sync.state).
void sync_close();
// Stops syncing while the database stays open (the setting changed): the database is saved
// first, with sync.state, so that what was applied and recorded stays known.
void sync_leave();
bool sync_active();
// Changes made here wait for the folder: it could not be read at the start (sync_open said
// no_folder; a later open takes them there), or the log did not take one since (the next change
// or apply tries again).
bool sync_keeps_changes();
bool sync_folder_away();
const std::string& sync_folder();
// Milliseconds since 1970 that the next record is stamped with; tests set the clock.
uint64_t sync_clock_ms();

// A record that could not be appended since the last call; none when every change was recorded.
sync_problem sync_take_problem();
// `tell` is called when such a problem arises, so that the window need not look for one.
void sync_on_problem(std::function<void()> tell);

// Recording: each is called where the change is made, after it is made. They do nothing
// while no sync folder is in use.
void sync_note_grade(const item* e, uint16_t grade, uint16_t elapsed, review_screen screen);
// A queue item (gone now) became `e` by its first grade.
void sync_note_introduced(const pending_item* was, const item* e, uint16_t grade);
// The undo of a grade of the item `was` (an item record, or the queue record it was made
// from); `now` holds it after the undo: the same item, or a queue item again.
void sync_note_undo(const void* was, const item* restored, const pending_item* back_in_queue, review_screen screen);
// New items and queue items (typed in, imported) and texts, places and schedules changed.
void sync_note_added(const item* e);
void sync_note_queued(const pending_item* p);
void sync_note_edited(const item* e);
void sync_note_queue_edited(const pending_item* p);
void sync_note_moved(const item* e);
void sync_note_queue_moved(const pending_item* p);
void sync_note_rescheduled(const item* e, change_kind kind);  // forget_item or make_due
// Called before the record is freed.
void sync_note_deleted(const item* e);
void sync_note_queue_deleted(const pending_item* p);
// A category made (its path), renamed (its path before, the new name) or deleted (its path before).
void sync_note_category(change_kind kind, std::vector<std::string> path, std::string text = {});
// After an import: records the items it added and closes them with an import record.
void sync_note_import(const std::string& file_name, uint32_t added);

// Writes the sync state of the open database (for the save's commit).
bool write_sync_state(FILE* out);
