#pragma once
// The item browser's portable half: the rows it shows (pointers to the database's own records),
// the search folding that makes "a" find "ä" and "A", the filters, and the texts of dates.
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "database/database.h"

// One row of the browser: exactly one of the two is set.
struct browse_row {
    item* scheduled = nullptr;  // an item of the scheduled list
    pending_item* pending = nullptr;  // an item of the queue
};

// The row's question, answer and category, whichever list it is in.
inline std::string_view question_of(const browse_row& row)
{
    return row.scheduled ? row.scheduled->question.view() : std::string_view(row.pending->question);
}
inline std::string_view answer_of(const browse_row& row)
{
    return row.scheduled ? row.scheduled->answer.view() : std::string_view(row.pending->answer);
}
inline uint16_t category_of(const browse_row& row) { return row.scheduled ? row.scheduled->ctgr : row.pending->ctgr; }

// The scheduled items in list order, or the queue's items in file order.
std::vector<browse_row> scheduled_rows();
std::vector<browse_row> pending_rows();

// Lower case without diacritics, over UTF-8: "Ärger" and "ARGER" both give "arger", "ß" gives
// "ss". With skip_tags the formatting tags (<b>, </i>, ...) are left out, so that a search never
// meets them. Bytes that are not UTF-8 are kept as they are.
void fold_text(std::string_view text, std::string& out, bool skip_tags = false);
std::string fold_text(std::string_view text, bool skip_tags = false);

// Which items the due filter lets through, measured against today's day number.
enum class due_filter {
    any,  // every item
    due,  // due today or earlier
    overdue,  // due before today
};

struct browse_filter {
    std::string folded_query;  // fold_text of what was typed; empty matches every item
    due_filter due = due_filter::any;  // pending items pass only `any`
    std::optional<uint16_t> category;  // the category and those below it; none: every category
    uint16_t today = 0;  // day_number(0) when the filter was made

    bool operator==(const browse_filter&) const = default;
};

// The folded question and answer of every row, kept in one buffer so that a search is a
// single scan of it rather than a folding of every text at every key. Made again after the
// rows or their texts change.
struct folded_rows {
    std::string text;  // per row: its folded question, a zero byte, its folded answer, a zero byte
    std::vector<size_t> starts;  // where each row's texts begin in `text`, and where the last one ends
    // Per row, a bit for each of the letters a-z its folded texts hold: a search for one letter
    // (what the first key usually is, and the one most rows hold) reads no text.
    std::vector<uint32_t> letters;
};
folded_rows fold_rows(const std::vector<browse_row>& rows);
// Folds up to `count` more rows into `folded` (begun as {}), so that a large collection is folded
// a slice at a time between keys; returns whether every row is folded now.
bool fold_more_rows(folded_rows& folded, const std::vector<browse_row>& rows, size_t count);

// The indexes (into `order`'s values, in `order`'s order) of the rows that pass the filter.
// With `folded` (made from these rows as they stand) the search scans it once every row is folded;
// before that it folds as it goes.
std::vector<uint32_t> filter_rows(const std::vector<browse_row>& rows, const std::vector<uint32_t>& order,
    const browse_filter& filter, const folded_rows* folded = nullptr);
// The same into `shown`, whose memory is used again: on a large collection, memory touched for
// the first time costs more than the search. A scan of many rows runs on two threads.
void filter_rows(const std::vector<browse_row>& rows, const std::vector<uint32_t>& order, const browse_filter& filter,
    const folded_rows* folded, std::vector<uint32_t>& shown);

// A search made a slice at a time from the front of the order, so that the first screen of rows
// shows at once and the rest follows between keys.
struct filter_progress {
    browse_filter filter;  // what the rows are searched for
    size_t next = 0;  // the place in the order where the next slice begins
    std::vector<uint32_t> shown;  // the rows found so far, in the order's order
    std::string scratch;  // folded text of rows not yet in the folded buffer
};
// Looks at up to `count` more rows of `order`, using `folded` for the rows it holds (folded from
// these rows as they stand); returns whether every row has been looked at.
bool filter_more_rows(filter_progress& progress, const std::vector<browse_row>& rows,
    const std::vector<uint32_t>& order, size_t count, const folded_rows* folded = nullptr);

// What the rows are sorted by.
enum class browse_sort {
    question,  // the question's bytes
    answer,  // the answer's bytes
    category,  // the category's path
    next_date,  // the day of the next review; queue items have none and come first
    interval,  // the interval
    repetitions,  // the repetitions
    grade,  // the last grade
    created,  // the moment the item was made
};
// One number per row that orders the rows by `key`, equal rows sharing one: made in one pass, so
// that a sort by it, in either direction, compares numbers only. Made on another thread, it gives
// up (returning none) soon after `stop` is set.
std::vector<uint32_t> rank_rows(const std::vector<browse_row>& rows, browse_sort key, const std::atomic<bool>* stop = nullptr);
// Sorts `order` (indexes into `rank`) by rank; rows of equal rank keep their order, in either
// direction.
void sort_by_rank(std::vector<uint32_t>& order, const std::vector<uint32_t>& rank, bool descending);
// Sorts `order` (indexes into `rows`) by `key`; rows that compare equal keep their order, in
// either direction.
void sort_rows(const std::vector<browse_row>& rows, std::vector<uint32_t>& order, browse_sort key, bool descending);

// "Deutsch / Verben": the names from the top-level category down, without the root above them.
std::string category_path(uint16_t ctgr);

// Every category's path with its index, in the order of the paths.
std::vector<std::pair<std::string, uint16_t>> sorted_category_paths();

// "2026-12-07": the local date of a day number of the database.
std::string date_of_day(uint16_t day);
// "2026-12-07": the local date of a moment in seconds (an item's id is when it was made).
std::string date_of_time(uint32_t seconds);

// A scheduled item made due today (items already due are left as they are): it leaves the list
// and comes back in at today's place, its interval measured to today. Returns whether it moved.
// The caller drops the undo steps first, since they point at the list as it was.
bool reschedule_today(item* e, uint16_t today);

// An item forgotten: back to the state of a new item graded 0, its first interval from the
// network, in its new place in the list. The caller drops the undo steps first.
void forget_item(item* e, uint16_t today);
