#pragma once
// The review log, reviews.log in the data directory: one fixed-size little-endian record per
// grade (and per undo), appended and synced as each grade is given, so that the history
// survives a crash and outlives the items it speaks of.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Which screen gave the grade; the values are the screen modes.
enum class review_screen : uint8_t { scheduled = 1, queue = 2, added = 3, forced = 4 };
// A grade, or the undoing of the latest grade of the same item that is not yet undone.
enum class review_event : uint8_t { grade = 0, undo = 1 };

struct review_record {
    uint32_t time = 0;  // clock second of the grade
    uint32_t item_id = 0;  // the item's id (its creation second)
    uint16_t day = 0;  // day number of the grade
    uint16_t elapsed = 0;  // days since the item's previous grade or creation; 0 for a new item
    uint16_t interval_before = 0;  // the interval that had been set; 0 for a new item
    uint16_t interval_after = 0;  // the interval the grade set
    float test_error = 0;  // the network's smoothed TestError at the time, 0 if not estimated
    uint8_t grade = 0;  // 0 to 5
    uint8_t rp_after = 0;  // the item's repetitions after the grade
    review_screen screen = review_screen::scheduled;  // where the grade was given
    review_event event = review_event::grade;  // a grade or an undo
};

constexpr size_t review_record_size = 24;
constexpr const char* review_log_name = "reviews.log";

void encode_review(const review_record& r, unsigned char* out);
// False when the bytes cannot be a record (grade above 5, unknown screen or event).
bool decode_review(const unsigned char* in, review_record* out);

enum class [[nodiscard]] review_append_status : int {
    appended = 0,
    cannot_open = 1,  // the record waits in memory
    cannot_write = 2,  // the record waits in memory, or the log could not be closed
    cannot_sync = 3,  // written, but perhaps not yet on the disk
};
// Appends to the data directory's log, first cutting a piece of a record an interrupted append
// left at its end; the error is logged. A record the log cannot take (a full disk) waits in
// memory, and every waiting record goes in, oldest first, before the next one.
review_append_status append_review(const review_record& r);
// Several records appended and synced at once (the grades a sync folder brought).
review_append_status append_reviews(const std::vector<review_record>& records);
// Tries the waiting records again (after a save); the status of the last one tried.
review_append_status append_held_reviews();
size_t held_review_count();
// The waiting records' days `days` later, as the log's when the database's first day moves back.
void move_held_review_days(uint16_t days);
// Why records began to wait (errno), once per such time; 0 when there is nothing new to tell.
int take_review_log_warning();
// At the close of the data directory: a last try, then what still waits is logged as lost.
void close_review_log();

struct review_history {
    std::vector<review_record> records;  // in file order, undo records included
    uint32_t damaged = 0;  // whole records that could not be decoded, skipped
    uint32_t partial_bytes = 0;  // bytes of an unfinished last record, ignored
    bool found = false;  // whether the file exists
};
// Writes the log at `path` to `out` with each record's day `days` later, as when the database's
// first day moves that many days back; damaged records and an unfinished last one go unchanged.
// False when it cannot be read or written.
bool copy_review_log_days_later(const std::string& path, FILE* out, uint16_t days);
// Reads a whole log; a missing file is an empty history.
review_history read_review_log(const std::string& path);
// A grade of an item on or after its due day: the grades retention is measured on.
bool is_due_review(const review_record& r);
// The grades still standing: each undo record removes the latest earlier grade of its item.
std::vector<review_record> standing_reviews(const std::vector<review_record>& records);
