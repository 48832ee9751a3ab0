#pragma once
// A computer's change log in the sync folder, changes-<computer>.log: every change the user
// makes on that computer, appended as it is made. Only that computer writes it; the others
// read it, so no sync service ever has to merge one file written from two sides.
//
// Bytes, little-endian: a 20-byte header ("CWCHANGE", version u16, 2 reserved bytes, the
// computer id u64), then records, each its payload's length (u32), the payload's XXH32 (u32) and
// the payload. A service may deliver the file half-way: a reader takes the whole records and
// comes back for the rest later.
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

constexpr uint16_t change_log_version = 1;
constexpr size_t change_log_header_size = 20;
constexpr size_t change_frame_size = 8;  // length and checksum before each payload
// Far above any change (two texts of at most 8,191 bytes and a category path): a larger
// length can only be damage, and is not trusted.
constexpr uint32_t change_payload_limit = 1u << 20;

// Names an item across computers: the computer that made it and that computer's number for it.
struct item_key {
    uint64_t computer = 0;  // id of the computer that made the item
    uint64_t number = 0;  // that computer's sequence number of the record that made it
    friend bool operator==(const item_key&, const item_key&) = default;
};

enum class change_kind : uint8_t {
    grade = 1,  // of a scheduled item, or the introduction of a queued one (screen 2)
    undo = 2,  // takes back a grade; an undone introduction puts the item back in the queue
    add_item = 3,  // into learning
    edit_item = 4,
    delete_item = 5,
    move_item = 6,
    forget_item = 7,
    make_due = 8,
    queue_add = 9,  // an item waiting to be introduced
    queue_delete = 10,
    import_done = 11,  // closes the records of one import; `text` names the file
    category_make = 12,
    category_rename = 13,  // `text` is the new name
    category_delete = 14,
};

// An item's scheduling as a change left it, its days counted from 1970-01-01 so that computers
// whose databases began on other days agree on them.
struct item_schedule {
    uint32_t id = 0;  // the item's creation second
    uint16_t due = 0;  // day of the next review
    uint16_t interval_end = 0;  // day on which the interval set by the last grade on time ends
    uint16_t interval = 0;  // days from the last grade to `due`
    uint16_t last_interval = 0;  // the interval before the last grade
    uint16_t real_last_interval = 0;  // days that really passed between the two last grades
    uint8_t repetitions = 0;  // repetitions so far
    uint8_t grade = 0;  // the last grade
    friend bool operator==(const item_schedule&, const item_schedule&) = default;
};

struct change_record {
    uint64_t sequence = 0;  // 1, 2, ... in the writing computer's order; set by the writer
    uint64_t stamp = 0;  // milliseconds since 1970, never below the previous record's; set by the writer
    change_kind kind = change_kind::grade;  // what changed
    item_key item;  // the item changed; unused by category and import records
    std::vector<std::string> path;  // category path from the top, for adds, moves and category records
    std::string question;  // new question text, for adds and edits
    std::string answer;  // new answer text, for adds and edits
    std::string text;  // a category's new name, or an import's file name
    uint32_t count = 0;  // items an import added
    uint16_t day = 0;  // day number of a grade
    uint16_t elapsed = 0;  // days since the item's previous grade, for a grade
    uint8_t grade = 0;  // 0 to 5
    uint8_t screen = 0;  // the screen that gave a grade, or the undone grade's (the review log's values)
    // What the change set, for grades, undos, adds, forgets and makes due: the grading
    // computer's network chose it, and every computer keeps the same schedule.
    item_schedule schedule;
    friend bool operator==(const change_record&, const change_record&) = default;
};

// A log's header: the magic, the version, the reserved bytes (0) and the writer.
std::string change_log_header(uint64_t computer);

// The frame and payload of one record, ready to append.
std::string encode_change(const change_record& r);

enum class change_log_status {
    ok,  // every byte read: whole records, or a record still arriving at the end
    no_header,  // shorter than a header: nothing written yet, or the start still arriving
    bad_header,  // not a change log, or a newer version than this program reads
    damaged,  // a record whose length or checksum is wrong: reading stopped before it
};

struct change_log_read {
    change_log_status status = change_log_status::ok;  // how the reading ended
    uint64_t computer = 0;  // the writer's id, from the header
    std::vector<change_record> records;  // the whole records read, in file order
    std::vector<uint64_t> ends;  // offset just past each record, parallel to `records`
    uint64_t end = 0;  // offset just past the last whole record: where the next read starts
};

// Reads the records of a log's bytes from `offset` (0 or an `end` of an earlier read) on.
// Order matters (an edit follows its add), so nothing after a damaged record is taken.
change_log_read read_change_log(std::string_view bytes, uint64_t offset = 0);

// A digest of the bytes of the record numbered `sequence` in a log's bytes, so that a record
// can be told from another written under the same number; 0 when the log holds none.
uint64_t record_print(std::string_view bytes, uint64_t sequence);

// The header of the log at `path` and its bytes from offset `from` on (all of them when `from`
// is within the header), so that a log is read again only past what was taken; false with errno
// set when it cannot be read.
bool read_change_log_file(const std::string& path, uint64_t from, std::string* out);

// The file name of a computer's log, and which log a sync folder's file name belongs to:
// its own, a copy a sync service made beside it in a conflict, or none.
std::string change_log_name(uint64_t computer);
enum class sync_file_role { other, change_log, conflict_copy };
struct sync_file_name {
    sync_file_role role = sync_file_role::other;  // what the file is
    uint64_t computer = 0;  // whose log, for the two log roles
};
sync_file_name classify_sync_file(std::string_view name);

// A new computer id from the system's random source; never 0.
uint64_t new_computer_id();

enum class change_append_status {
    appended,
    cannot_open,
    not_a_log,
    cannot_write,
    cannot_sync,
    // The file holds records this writer did not write, under its id: another computer (a copy
    // of this system) writes it too. Nothing more is written to it.
    another_writer,
};
struct change_append_result {
    change_append_status status = change_append_status::appended;  // what happened
    int error = 0;  // errno of the failed step
    uint64_t sequence = 0;  // the appended record's sequence number
};

// Appends to one computer's own log, keeping its sequence and stamps in order: at the first
// append it reads the file back (or makes it), cuts off a piece of a record an interrupted
// append left, and continues after the last whole record. A sync service may put an older
// version of the log back meanwhile (a restore, or the other side of a conflict kept): the
// records it lacks would leave a gap the others wait on for good, so they are written again.
class change_log_writer {
public:
    change_log_writer(std::string path, uint64_t computer);
    // The sequence number the next append gives, so that a record that makes an item can name
    // it; 0 when the log cannot be opened.
    uint64_t next_sequence();
    // Sets the record's sequence and stamp, appends and syncs it.
    [[nodiscard]] change_append_result append(change_record& r, uint64_t now_ms);
    // The sequence the next record follows even where the file holds less (a log begun anew in
    // another folder, or deleted): the other computers hold the numbers up to it as applied.
    void continue_after(uint64_t sequence);
    // Writes again the records the file lost since this writer last wrote it, as an append
    // does first; for a look without an append, such as at the close.
    change_append_result make_whole();
    // record_print of the record numbered `sequence` as this writer last read or wrote it.
    uint64_t print_of(uint64_t sequence) const;

private:
    // Reads the file back and makes it whole; writes the known records again that it lost.
    change_append_result open_log();
    change_append_result write_again(const std::string& bytes, const change_log_read& read, uint64_t lost);
    // Whether the file is as this writer last left it.
    bool as_known() const;
    // Whether the file read as `now` holds a record this writer did not write (its own records
    // read as `had`).
    bool written_elsewhere(const change_log_read& had, const change_log_read& now) const;
    // Takes the print of the file as this writer leaves it.
    void note_file(int fd);

    // The file as this writer last left it, so that a copy written in place of it is seen even
    // at the same length: its inode, and its change time, which no other writer can set back.
    struct stat_print {
        uint64_t inode = 0;  // st_ino
        int64_t changed_s = 0;  // st_ctim, seconds
        int64_t changed_ns = 0;  // st_ctim, nanoseconds
        friend bool operator==(const stat_print&, const stat_print&) = default;
    };
    static stat_print print_of(const struct stat& info);

    std::string path_;  // the log's path
    uint64_t computer_;  // this computer's id, written in the header
    bool opened_ = false;  // whether the file was read back and made whole
    uint64_t last_sequence_ = 0;  // of the last record in the file, or the one continued after
    uint64_t last_stamp_ = 0;  // of the last record in the file
    // The file as this writer last read or wrote it: header and whole records. A file shorter
    // than this was trimmed, or lost records that are written again from here.
    std::string known_;
    uint64_t last_at_ = 0;  // where the last record of known_ begins
    stat_print left_;  // the file as this writer last left it
};
