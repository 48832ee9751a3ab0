#pragma once
// The in-memory database: category table, scheduled list sorted by due day, pending list.
// There is one database per process, used from the user-interface thread only.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "database/item_text.h"
#include "database/queue_text.h"

constexpr int MAX_CTGR_LEN = 128;  // category names in memory hold at most 127 bytes
constexpr uint32_t initial_category_capacity = 32;

// Where the database stands between the session's open and close.
enum class database_state : int {
    uninitialised = 0,  // nothing open
    opening = 1,  // the session's open is reading
    open = 2,  // open, until it is closed or discarded
};

struct item {
    item* next = nullptr;  // the next item of the scheduled list, due on the same day or later
    item* prev = nullptr;  // the item before it in the scheduled list; none for the head and outside it
    item_text question;  // UTF-8, with markup
    item_text answer;  // UTF-8, with markup
    uint32_t id = 0;  // seconds of the clock when the item was made
    uint16_t tmtrpt = 0;  // day on which the item is next due; the list's sort key, changed only out of the list
    uint16_t stmtrpt = 0;  // day on which the interval set by the last grade given on time ends
    uint16_t ctgr = 0;  // index of the item's category
    uint16_t livl = 0;  // the interval before the last grade, at most 2047
    uint16_t rllivl = 0;  // days that really passed between the two last grades, at most 2047
    uint16_t ivl = 0;  // days from the last grade (or the making) to tmtrpt, at most 2047
    uint16_t rp = 0;  // repetitions so far, at most 127
    uint16_t gr = 0;  // the last grade, 0 to 5
    uint16_t failed_day = 0;  // day of the latest failed grade (0-2); in memory, counted again from the log at a start
    uint16_t failed_times = 0;  // failed grades (the making's included) given on failed_day
    uint32_t sstick = 0;  // carried unchanged through the files; nothing interprets it
    uint32_t hstick = 0;  // as sstick
};

struct pending_item {
    pending_item* next = nullptr;  // the next item of the queue, in file order
    queue_text question;  // UTF-8, with markup
    queue_text answer;  // UTF-8, with markup
    uint16_t ctgr = 0;  // index of the category it goes into
};

struct category {
    std::string name;  // at most 127 bytes, no double quote
    uint32_t qbgclr = 0;  // question background colour
    uint32_t abgclr = 0;  // answer background colour
    uint32_t qfntclr = 0;  // question text colour
    uint32_t afntclr = 0;  // answer text colour
    uint16_t parent = 0;  // index of the parent category; a top-level one is its own parent
    std::optional<std::string> qimg;  // question picture text
    std::optional<std::string> aimg;  // answer picture text
    std::optional<std::string> qfont;  // question font text
    std::optional<std::string> afont;  // answer font text
};

// A queue item that the reader could not take (a text too long, or an item the file's end cut
// off), kept as the lines it was read from so that rewriting the queue gives it back unchanged.
struct kept_queue_text {
    int32_t ctgr = -1;  // the category element it stood in; -1 outside any
    std::string lines;  // the file's bytes from its <q> line to its last line
    bool unterminated = false;  // the file ended inside it: it must stay last in the file
};

// Category indexes ended by -1; null selects every category.
using category_filter = const int32_t*;
constexpr int32_t filter_end = -1;

// Where each due day's items end in the scheduled list, so that an insertion finds its place
// and the interval choice counts a band's items without walking the list from its head. It
// holds only while the list is in day order; a file read as it stood may not be, and then the
// list is walked as it is until it is in order again.
struct due_day_index {
    static constexpr uint32_t day_count = 65536;
    static constexpr uint32_t word_count = day_count / 64;
    std::vector<item*> last;  // per day: the last item of the list due on it, or none
    std::vector<uint32_t> items;  // per day: the number of items due on it
    std::vector<uint64_t> days;  // one bit per day that has an item
    uint64_t words[word_count / 64] = {};  // one bit per word of `days` that is not 0
    uint32_t descents = 0;  // neighbours in the list whose days are out of order
    bool valid = true;  // the index describes the list (always so while descents is 0)
};

// The memory of item records and of the texts read from elements.bin (item_store.h).
struct item_pool {
    std::vector<void*> record_chunks;  // blocks of records, each from alloc_block_or_die
    size_t chunk_records = 0;  // records the newest chunk holds
    size_t chunk_used = 0;  // of them, handed out at least once
    void* free_records = nullptr;  // freed records, each holding the address of the next
    std::vector<char*> text_blocks;  // blocks of texts, each from alloc_block_or_die
    std::vector<size_t> text_block_sizes;  // the bytes of each text block, to free it
    std::vector<std::pair<const unsigned char*, size_t>> mapped_files;  // files whose bytes texts refer to, and their sizes
    char* text_at = nullptr;  // where the next text goes in the newest block
    size_t text_left = 0;  // bytes left there
    size_t live = 0;  // records handed out and not freed
};

// The memory of queue records and their texts (queue_store.cpp): records in chunks with a list
// of freed ones, texts side by side in blocks addressed by queue_text's handles. Both go back at
// once when the pending list is freed with no record left.
struct pending_pool {
    std::vector<void*> record_chunks;  // blocks of 65,536 records, each from alloc_block_or_die
    size_t chunk_used = 0;  // records of the newest chunk handed out at least once
    pending_item* free_records = nullptr;  // freed records, linked through next
    std::vector<char*> text_blocks;  // blocks of texts, each from alloc_block_or_die
    std::vector<size_t> text_block_sizes;  // the bytes of each text block
    size_t text_used = 0;  // bytes used in the newest text block
    size_t live = 0;  // records handed out and not freed
};

// The process-wide state of the database core: items, categories and the lifecycle.
struct database {
    std::vector<std::unique_ptr<category>> categories;  // the category table, parents first after a save
    uint32_t category_capacity = 0;  // the table's room, doubled as it fills
    bool category_table_exists = false;  // made by ma_init, gone after ma_deinit
    // (parent, name) of every category, to its highest index; the parent of a top-level one is
    // written as none. Rebuilt on the next lookup after the table was changed wholesale.
    std::unordered_map<std::string, uint16_t> category_lookup;
    bool category_lookup_stale = true;
    uint32_t categories_refused = 0;  // names that found the table full since the last report

    item* head = nullptr;  // the scheduled list, sorted by tmtrpt
    uint32_t item_count = 0;  // items in the scheduled list
    item* insert_hint = nullptr;  // where the last insertion went, to start the next one there
    due_day_index due_days;  // kept by every change of the scheduled list
    item_pool items;  // where the records and the read texts live

    pending_item* pending_head = nullptr;  // the queue's items in file order
    pending_item* pending_tail = nullptr;  // so that a long queue file loads in linear time
    uint32_t pending_count = 0;  // items in the pending list
    std::vector<kept_queue_text> kept_queue;  // emptied with the pending list
    pending_pool pending_store;  // where the pending records and their texts live

    uint32_t time_of_start = 0;  // the database's start, seconds; day 0 begins on its date

    // Choosing (day numbers and the last four items shown).
    int day_start_hour = 3;  // a day begins at 03:30 local time
    int day_start_minute = 30;
    static constexpr int recent_slots = 4;
    item* recent_items[recent_slots] = {};  // cleared by free_item, so a slot never outlives its item
    uint16_t recent_index = recent_slots;

    // Set when load_bin refused an existing elements.bin; it is kept under another name before
    // anything overwrites it, and no save replaces it while that copy could not be made.
    bool bin_refused = false;
    std::string refused_copy;  // where the refused file was kept; empty when none was refused

    // Lifecycle (opening and closing).
    database_state db_state = database_state::uninitialised;  // set by the session's open and close
    int lock_fd = -1;  // holds the advisory lock on lockfile while the database is open
    bool read_only = false;  // opened in a directory that cannot be written: nothing is saved there
};

database& db();

// Records are made and freed only here, so that an exhausted heap is handled in one place.
item* new_item();
void free_item(item* e);
pending_item* new_pending_item();
void free_pending_item(pending_item* p);
// A new record taken after every record made so far, never a freed one, and its number: the
// records an import makes one after another have consecutive numbers.
uint32_t new_numbered_pending_item();
pending_item* pending_record(uint32_t number);
// Gives the queue's record chunks and texts back once no record is left (free_pending_list).
void release_pending_store();

// Categories.
void create_category_table();
uint16_t add_category(const char* name, int32_t parent);
// A name as add_category keeps it: double quotes become apostrophes, and it ends at a line
// feed or after MAX_CTGR_LEN - 1 bytes. Empty for a name that is empty or begins with a line feed.
std::string stored_category_name(std::string_view name);
// The category that add_category (name, parent) would return without making one, or -1.
int32_t category_named(std::string_view name, int32_t parent);
void create_root_category();
// The name of the category that create_root_category makes.
inline constexpr const char* root_category_name = "root";
uint16_t category_count();
category* category_at(uint32_t index);
int32_t next_child_category(int32_t parent, int32_t after);
bool category_within(uint32_t ancestor, uint32_t c);
// The names of the categories from c's top-level one down to c.
std::vector<std::string> category_names_from_top(uint16_t c);
bool category_in_filter(category_filter filter, uint32_t c);
// Logs how many names found the table full since the first of them was logged, if more did.
void report_refused_categories();
// The category table was changed other than by add_category (read from a file, reordered).
void category_table_changed();
void swap_categories(uint16_t a, uint16_t b);
void order_categories();
void free_categories();

// How a walk up the category tree ended.
enum class walk_end {
    top_level,  // at a category that is its own parent
    stopped,  // the visit asked to stop
    broken,  // a parent past the table, or a cycle of parents in a damaged table
};

// Visits c and each category above it in turn, up to its top-level one, while `visit`
// returns true. No walk is longer than the table, whatever a damaged file made of it.
template <typename Visit>
walk_end walk_up_categories(uint32_t c, Visit&& visit)
{
    const auto& table = db().categories;
    for (size_t steps = 0; c < table.size() && steps <= table.size(); ++steps) {
        if (!visit(c))
            return walk_end::stopped;
        const uint32_t parent = table[c]->parent;
        if (parent == c)
            return walk_end::top_level;
        c = parent;
    }
    return walk_end::broken;
}

// Scheduled list.
void insert_scheduled(item* e);
item* remove_item(item* e);
// Takes the item out of the list without freeing it; false when it is not in the list.
bool unlink_scheduled(item* e);
item* next_scheduled(const item* e);
// The item before `e` in the list, or null when `e` is the head or not in the list.
item* scheduled_predecessor(const item* e);
void erase_memory_after_ll();
// Links e into the scheduled list right after `at` (at the head when `at` is none), as it
// stands: for the readers, which keep a file's order, and for moves that know the place.
void link_scheduled_after(item* at, item* e);
// The number of items due on each day from `first` to `last` (count[day - first]) that a walk
// from the head, stopping at the first item due after `last`, meets; all 0 when first > last.
void count_due_per_day(uint16_t first, uint16_t last, uint32_t* count);

// Items read from a file, linked at the end exactly where inserting them one by one with
// insert_scheduled would have put them, but without the walk from the head that every
// out-of-order item would cost (a long unsorted file would take minutes). Items never linked
// are freed with the batch.
class scheduled_batch {
public:
    scheduled_batch() = default;
    scheduled_batch(const scheduled_batch&) = delete;
    scheduled_batch& operator=(const scheduled_batch&) = delete;
    ~scheduled_batch();
    void add(item* e);
    void link();

private:
    std::vector<item*> items_;
};

// Pending list.
void append_pending(pending_item* p);
pending_item* remove_pending(pending_item* p);
// Links a pending item in right behind `before` (first when null).
void link_pending_after(pending_item* before, pending_item* p);
// Frees, in one pass, the pending items after `after` (from the head when null) that `keep`
// turns down; the others stay in their order.
void drop_pending_after(pending_item* after, const std::function<bool(const pending_item*)>& keep);
void free_pending_list();
uint32_t pending_count();
