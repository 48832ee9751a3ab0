#pragma once
// A computer's snapshot in the sync folder, snapshot-<computer>.bin: its whole collection as it
// stood at a close, with how far it had applied each computer's log. A computer that joins
// starts from the newest one instead of reading every log from its start, and a log's head
// that every computer's snapshot covers can be trimmed. Only its computer writes it, replacing
// it whole; a reader takes it only when its length and checksum say it arrived whole.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "formats/change_log.h"

// Which change last set a field of an item: its stamp and its writer.
struct change_version {
    uint64_t stamp = 0;  // of the record that set the field; 0: set before syncing began
    uint64_t computer = 0;  // that record's writer
    friend bool operator==(const change_version&, const change_version&) = default;
};

struct snapshot_entry {
    // An add_item record (a scheduled item) or a queue_add record (a queued one) that would
    // make the item as it stands: its identity, category path, texts and schedule.
    change_record made;
    change_version schedule_set;  // of the change that set its schedule
    change_version texts_set;  // of the change that set its texts
    change_version place_set;  // of the change that set its category
    friend bool operator==(const snapshot_entry&, const snapshot_entry&) = default;
};

// A category path renamed: where it went, by which change.
struct snapshot_rename {
    std::vector<std::string> from;  // the path left
    std::vector<std::string> to;  // where the category went
    change_version set;  // of the rename; 0 in a snapshot of version 2 or older
    friend bool operator==(const snapshot_rename&, const snapshot_rename&) = default;
};

struct sync_snapshot {
    uint64_t computer = 0;  // the computer that wrote it
    uint64_t latest_stamp = 0;  // the highest stamp that computer had written or applied
    std::map<uint64_t, uint64_t> covered;  // per computer, the last of its records the collection holds
    std::vector<snapshot_rename> renamed;  // the renames of each path, in their order
    // Category paths made (or renamed to) and deleted by a change, with its version: what a
    // making and a deletion that arrive later are weighed against.
    std::vector<std::pair<std::vector<std::string>, change_version>> made;
    std::vector<std::pair<std::vector<std::string>, change_version>> deleted;  // as `made`
    std::vector<std::vector<std::string>> categories;  // every category's path, in the table's order
    std::vector<snapshot_entry> entries;  // the scheduled items, then the queue
    // Keys of second makings of an item (a copied collection recorded twice), to the key its entry has.
    std::vector<std::pair<item_key, item_key>> same_as;
    friend bool operator==(const sync_snapshot&, const sync_snapshot&) = default;
};

std::string encode_snapshot(const sync_snapshot& s);

enum class snapshot_status {
    whole,  // read
    not_whole,  // shorter or longer than its header says, or its checksum is wrong: still arriving
    foreign,  // not a snapshot, or a newer version than this program reads
};
// With `coverage_only`, the collection is not decoded (the checksum is still checked).
snapshot_status decode_snapshot(std::string_view bytes, sync_snapshot* out, bool coverage_only = false);

std::string snapshot_name(uint64_t computer);
// The computer whose snapshot a sync folder's file is; none for any other file.
std::optional<uint64_t> snapshot_owner(std::string_view name);

// Replaces the computer's snapshot in `folder` (ending with '/') whole; false with errno set.
bool write_snapshot_file(const std::string& folder, const sync_snapshot& s);
// The snapshot at `path` when it is whole.
std::optional<sync_snapshot> read_snapshot_file(const std::string& path, bool coverage_only = false);

// How long a computer must have written nothing (no record, no snapshot with a newer stamp)
// before it stops holding back the others' trims: one that comes back later finds the logs
// trimmed past what it holds, and starts again from a snapshot.
inline constexpr uint64_t dormant_after_ms = 180ULL * 86400 * 1000;

// What a sync folder holds that decides joining and trimming.
struct sync_folder_view {
    std::string folder;  // ending with '/'
    std::map<uint64_t, sync_snapshot> snapshots;  // the whole snapshots, coverage only, by writer
    std::map<uint64_t, uint64_t> log_heads;  // per computer with a log, the first sequence its log holds
    std::vector<uint64_t> computers;  // every computer with a log or a snapshot, whole or not
};
sync_folder_view look_at_sync_folder(const std::string& folder);

// The newest whole snapshot that leaves no gap before any log's head (a snapshot older than a
// trim cannot be continued from the logs), by its latest stamp, then its writer.
std::optional<uint64_t> snapshot_to_join(const sync_folder_view& view);

// Per computer with a log in `folder`, the first sequence it holds (a conflict copy may hold
// earlier ones).
std::map<uint64_t, uint64_t> sync_log_heads(const std::string& folder);

// The last record of `me`'s log that the newest whole snapshot of every other computer that is
// not dormant at `now_ms` holds; 0 while one of them has none.
uint64_t covered_by_all(const sync_folder_view& view, uint64_t me, uint64_t now_ms);
