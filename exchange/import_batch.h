#pragma once
// What every import shares: items gathered from a file, checked against the limits of the
// program's texts and against the items already there, then added all at once.
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

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
    std::string where;  // where the file holds it ("line 12"), for the problems list
};

// What an import did, for the summary the user sees.
struct import_summary {
    bool done = false;  // false: nothing at all was changed
    std::string error;  // why nothing was imported, when done is false
    uint32_t added = 0;  // items added to the queue or to learning
    uint32_t duplicates = 0;  // items left out because the same one is already there
    uint32_t media_copied = 0;  // picture and sound files copied into the data directory
    std::vector<std::string> problems;  // items left out, and media not copied, with the reason
};

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

    // Checks the item and keeps it for the commit (true), or records why it is left out. An
    // item with a schedule goes into learning whatever the target.
    bool add(staged_item&& s, import_summary& summary);
    size_t size() const { return items_.size(); }
    // Makes the categories and adds every kept item; sets summary.added and summary.done.
    void commit(import_summary& summary);

private:
    struct kept_item {
        staged_item item;
        std::string category_key;  // the category's full path, names separated by 0x1f
    };
    const std::string& path_key_of(uint16_t c);
    // The category of the path, made as needed; when the table is full, the nearest one made
    // (a problem in the summary names the path).
    uint16_t category_for(const std::vector<std::string>& path, import_summary& summary);

    import_target target_;
    uint16_t default_category_;
    uint16_t first_grade_;
    std::vector<std::string> existing_keys_;  // by category index; built as needed
    std::vector<bool> key_known_;
    std::unordered_set<std::string> seen_;  // category key, question and answer of every item
    std::unordered_map<std::string, uint16_t> made_categories_;  // commit's path cache
    std::vector<kept_item> items_;
};
