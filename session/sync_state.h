#pragma once
// The sync layer's process-wide state: which local record holds which item_key, and which
// change last set each item's schedule, texts and category; and its file, sync.state.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <map>
#include <set>
#include <utility>
#include <unordered_map>
#include <vector>

#include "database/database.h"
#include "formats/change_log.h"
#include "formats/sync_inbox.h"
#include "session/sync_conflicts.h"
#include "session/sync_effects.h"

// A change of this computer's that its change log did not take, for the user.
struct sync_problem {
    change_append_status status = change_append_status::appended;  // appended: nothing to tell
    std::string path;  // the change log
    int os_error = 0;  // errno, when the system refused
    explicit operator bool() const { return status != change_append_status::appended; }
};

// Orders concurrent changes the same way on every computer: the later stamp, then the
// larger computer id.
struct field_version {
    uint64_t stamp = 0;  // of the record that set the field; 0: set before syncing began
    uint64_t computer = 0;  // that record's writer
    bool operator<=(const field_version& o) const
    {
        return stamp != o.stamp ? stamp < o.stamp : computer <= o.computer;
    }
    bool operator==(const field_version&) const = default;
};

// A rename away from a category path: where the category went, and the change that took it.
struct rename_away {
    std::vector<std::string> to;  // the category's path after it
    field_version v;  // of the rename; 0: remembered by a version that kept none
};

struct item_marks {
    item_key key;  // the item's identity across computers
    bool queued = false;  // the record is a pending_item, else an item
    field_version schedule;  // of the change that set its schedule
    field_version texts;  // of the change that set its question and answer
    field_version place;  // of the change that set its category
    // What sync.state held of the record, from the reading to the opening: a schedule or a
    // category that differs was changed in a session without the sync folder.
    bool printed = false;  // the file held the two below (an older one did not)
    uint32_t schedule_print = 0;  // of its schedule; items only
    uint32_t place_print = 0;  // of its category's path
};

struct item_key_hash {
    size_t operator()(const item_key& k) const { return std::hash<uint64_t>()(k.computer * 0x9E3779B97F4A7C15ULL ^ k.number); }
};

struct sync_globals {
    bool active = false;  // a sync folder is in use
    bool away = false;  // the folder could not be read at the start: changes are only kept
    std::string folder;  // the sync folder, ending with '/'
    uint64_t me = 0;  // this computer's id
    std::unique_ptr<change_log_writer> writer;  // this computer's log
    std::unique_ptr<sync_inbox> inbox;  // the other computers' logs
    sync_effects effects;  // which records' grades and cases are in reviews.log and user_cases.bin
    std::unordered_map<const void*, item_marks> marks;  // per item or pending_item record
    std::unordered_map<item_key, const void*, item_key_hash> records;  // per key, its record
    uint64_t own_applied = 0;  // the last record of this computer whose change the database holds
    // record_print of that record as sync.state last kept it (0: unknown): another computer
    // under this id that wrote its own record under the number shows at the next start.
    uint64_t own_print = 0;
    // The id this computer gave up at this open, another computer having written under it: its
    // snapshot may hold either's records under the same numbers, so none is joined from it.
    uint64_t parted_from = 0;
    uint64_t latest_stamp = 0;  // the highest stamp written or applied here
    sync_problem problem;  // a record that could not be appended, untold yet
    // The failures told since the log last took a record, as (status, errno): while the folder
    // stays read-only or full, each change would tell the same again.
    std::set<std::pair<change_append_status, int>> told;
    // Category paths renamed here, to their new paths: a change made elsewhere before it saw a
    // rename names the old path, and goes where the category went. A name given up, taken again
    // and given up again has a rename per category that left it, in their versions' order.
    std::map<std::vector<std::string>, std::vector<rename_away>> renamed;
    // Category paths made by a record (here or elsewhere), with its version: a deletion made
    // before a category was made under it elsewhere leaves that one, whatever order they come in.
    std::map<std::vector<std::string>, field_version> made;
    // Category paths deleted by a record, with its version: a category made under one by an
    // earlier change goes with it in whichever order the two arrive.
    std::map<std::vector<std::string>, field_version> deleted;
    std::unordered_map<item_key, lost_texts, item_key_hash> lost;  // per item, the last edit that lost
    // Makings that made an item here a second time (one collection copied and recorded on two
    // computers): their keys, to the key the item goes by here, so that the changes the other
    // computer makes to its copy reach it.
    std::unordered_map<item_key, item_key, item_key_hash> same_as;
    // Marks sync.state saved for items and queue items that no record's texts matched at the
    // opening: edited in a session without the sync folder, whose save left sync.state as it was.
    std::vector<item_marks> unmatched;
    // Changes the log did not take (the folder away), in order, for it to take later; their
    // sequences are the log's to give.
    std::vector<change_record> kept;
    bool kept_on_disk = false;  // the data directory holds a file of kept changes
};
sync_globals& sync_g();

void bind_record(const void* record, const item_marks& marks);
void unbind_record(const void* record);
item_marks* marks_of(const void* record);
const void* record_with(const item_key& key);

// A category made by a record of version `v`.
void note_category_made(const std::vector<std::string>& path, field_version v);
// A category deleted by a record of version `v`.
void note_category_deleted(const std::vector<std::string>& path, field_version v);
// Path `from` was left for `to` by a change of version `v`.
void note_rename_away(const std::vector<std::string>& from, const std::vector<std::string>& to, field_version v);
// Where a change of version `v` (none: the latest) naming `from` goes after the renames away from
// it: the category that held the name then left it by the first rename after the change, or the
// last one when all were before; none when `from` was not renamed.
const std::vector<std::string>* rename_of(const std::vector<std::string>& from, const field_version* v);
// A category renamed: what was made or deleted under its old path is now under the new one.
void note_category_renamed(const std::vector<std::string>& from, const std::vector<std::string>& to);

// Days since 1970-01-01 of the open database's day 0: record days are local days plus this.
uint16_t day_shift();
// The same for a database that began at `time_of_start`.
uint16_t day_shift_at(uint32_t time_of_start);
// An item's schedule as records carry it.
item_schedule schedule_of(const item& e);
// The version of the schedule an add_item record of `writer` carries: the start of the day of
// its last grade, no later than the record. An item recorded when its computer took the folder
// may have been graded long before, while a copy of it was graded elsewhere meanwhile.
field_version making_version(const change_record& r, uint64_t writer);
// The marks of the item or queue item that `writer`'s add_item or queue_add record `r` makes.
item_marks making_marks(const change_record& r, uint64_t writer);

// Digests of an item's schedule, and of each category's path by index, as sync.state keeps them.
uint32_t schedule_print(const item& e);
std::vector<uint32_t> place_prints();
inline uint32_t place_print(const std::vector<uint32_t>& prints, uint16_t c) { return c < prints.size() ? prints[c] : 0; }

// The file: the applied positions, this computer's own position, and the marks of every
// scheduled item and queue item, each with a digest of its id and texts, and of its schedule
// and category.
bool write_state_file(FILE* out);
// Reads the file at `path` and binds the open database's records to their marks; false when it
// exists and cannot be read (nothing is bound then). A missing file binds nothing.
bool read_state_file(const std::string& path);
// The computer id the file at `path` was written under; 0 when it cannot be read.
uint64_t state_file_writer(const std::string& path);
