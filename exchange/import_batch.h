#pragma once
// What every import shares: items gathered from a file, checked against the limits of the
// program's texts and against the items already there, then added all at once.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "database/queue_text.h"
#include "exchange/exchange_problem.h"

struct pending_item;

enum class import_target {
    queue,  // the items wait in queue.txt, as if written there by hand
    learning,  // the items are scheduled at once
};

// Scheduling brought over from another trainer, relative to the day of the import.
struct carried_schedule {
    int32_t due_in_days = 0;  // days from today to the next review; negative when overdue
    uint16_t ivl = 0;  // the current interval in days, at most 2047
    uint16_t rp = 0;  // repetitions so far, at most 127
    uint16_t gr = 4;  // the last grade, on this program's scale of 0 to 5
    uint32_t id = 0;  // the item's creation second
};

// One item as read from a file, before it is checked.
struct staged_item {
    std::string question;  // in the program's markup; add() turns CR LF and CR into line feeds
    std::string answer;  // as the question
    std::vector<std::string> category_path;  // outermost first; empty: the import's default category
    std::optional<carried_schedule> schedule;  // taken when the target is learning; none: a new item
    item_place place = item_place::none;  // where the file holds it, for the problems list
    uint64_t place_number = 0;  // its line or note id
};

// What an import did, for the summary the user sees.
struct import_summary {
    bool done = false;  // false: nothing at all was changed
    exchange_problem error;  // why nothing was imported, when done is false
    uint32_t added = 0;  // items added to the queue or to learning
    uint32_t duplicates = 0;  // items left out because the same one is already there
    uint32_t media_copied = 0;  // picture and sound files copied into the data directory
    std::vector<exchange_problem> problems;  // items left out, and media not copied, with the reason
    uint32_t problems_not_listed = 0;  // items left out beyond the first max_listed_problems
};

// Problems listed one by one; a file of garbage lines is counted beyond them, not listed.
constexpr size_t max_listed_problems = 1000;

// Texts of imported items obey the limit of the screen's text buffers.
constexpr size_t import_text_limit = 8191;
// The bytes a text takes on screen: each line feed gets a carriage return.
size_t display_length(const std::string& text);
// A category name as add_category keeps it: no control characters, apostrophes for double
// quotes, at most 127 bytes cut on a character boundary, no blanks around it.
std::string clean_category_name(const std::string& name);
// "Deutsch::Verben" or "Deutsch/Verben" as its names, outermost first; empty names are dropped.
std::vector<std::string> split_category_path(const std::string& path);

class import_batch {
public:
    // Items without a category path go into `default_category`; new items created in learning
    // get `first_grade` as the add screen gives it.
    import_batch(import_target target, uint16_t default_category, uint16_t first_grade);
    ~import_batch();  // frees the records of a batch never committed
    import_batch(const import_batch&) = delete;
    import_batch& operator=(const import_batch&) = delete;

    // Checks the item and keeps it for the commit (true), or records why it is left out. An
    // item with a schedule goes into learning whatever the target.
    bool add(staged_item&& s, import_summary& summary);
    size_t size() const { return records_.size() - existing_ + queued_count_; }
    // Sizes the duplicate check for about `items` more items at once, so that a file whose count
    // is known does not rehash the table at each doubling.
    void expect(size_t items);
    // Makes the categories and adds every kept item; sets summary.added and summary.done.
    void commit(import_summary& summary);

private:
    // A category path of the file or of the database, by the names add_category would find.
    struct path_entry {
        std::vector<std::string> names;  // outermost first; empty for a category of the database
        int32_t category = -1;  // its index once known
        bool used = false;  // a kept item goes into it
    };
    // The texts and path id of what a table slot refers to.
    struct record_key {
        std::string_view question;
        std::string_view answer;
        uint32_t path = 0;
    };
    record_key key_of(uint32_t ref) const;
    uint32_t path_id_of_category(uint16_t c);
    uint32_t path_id_of(std::vector<std::string>&& names);
    uint16_t category_for(uint32_t path_id, import_summary& summary);
    // The duplicate check: question, answer and path of every record, in an open-addressed
    // table of their indexes, so that a large file costs a few bytes an item beyond its records.
    static size_t hash_of(const record_key& k);
    // The table's slot for `k`: a free one, or the one of an equal record.
    size_t slot_for(const record_key& k) const;
    void grow_table();
    // The database's items join the table only when a new item could equal them: grouped by the
    // lengths of their texts and their path, a group is hashed when a new item of its kind comes.
    uint32_t group_of(size_t question_size, size_t answer_size, uint32_t path) const;
    void hash_group(uint32_t group);

    import_target target_;
    uint16_t default_category_;
    uint16_t first_grade_;
    uint16_t today_;  // day number of the import, for the new items' due days
    uint32_t now_;  // the clock second of the import
    uint32_t next_id_ = 0;  // the id the next new item gets: now_, or the second after the newest id
    std::vector<void*> records_;  // the database's items and queued items, then the new ones
    std::vector<uint32_t> record_paths_;  // each record's path id, pending_flag for a queued one
    size_t existing_ = 0;  // records_ before this index belong to the database
    // The new items for the queue are records numbered one after another from queued_first_, in
    // file order, linked into the queue at the commit; their path ids go in runs, as a file's
    // items mostly come deck by deck. A large file so costs a record and its texts an item.
    uint32_t queued_first_ = 0;
    uint32_t queued_count_ = 0;
    struct path_run {
        uint32_t first = 0;  // the first queued item of the run, counted from queued_first_
        uint32_t path = 0;  // their path id
    };
    std::vector<path_run> queued_paths_;
    uint32_t queued_path(uint32_t position) const;
    queue_text_mark texts_before_;  // the queue's text store before this batch stored any
    bool committed_ = false;
    // A record index + 1, or queued_flag and an index into queued_ + 1; 0 is a free slot.
    std::vector<uint32_t> table_;
    size_t table_entries_ = 0;  // slots in use
    size_t expected_entries_ = 0;  // what expect() foresaw; the table is made for at least as many
    std::vector<uint32_t> group_starts_;  // where each group's items begin in grouped_, and the end
    std::vector<uint32_t> grouped_;  // indexes of the database's items, by group
    std::vector<uint8_t> group_hashed_;  // per group: its items are in the table
    std::vector<uint32_t> hashed_groups_;  // the groups in the table, for growing it
    std::vector<path_entry> paths_;
    std::unordered_map<std::string, uint32_t> path_ids_;  // names joined by 0x1f -> index in paths_
    std::vector<uint32_t> category_paths_;  // the path id of each database category, or no_path
};
