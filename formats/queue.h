#pragma once
// queue.txt: items waiting to be introduced into learning.
#include <cstddef>
#include <cstdint>
#include <cstdio>

constexpr size_t queue_line_size = 8192;  // a longer line arrives in pieces of 8,191 bytes
constexpr size_t queue_text_limit = 8191;  // bytes of a question or answer

// Refills the pending list from queue.txt; the number of items added.
int load_queue();
// Appends the items of one queue file to the pending list, items outside any category element
// into `default_category`. The number of items added; 0 when the file cannot be opened.
uint32_t add_queue_from_file(const char* path, uint16_t default_category);
enum class [[nodiscard]] queue_save_status : int {
    done = 0,
    not_written = 1,  // the old file stays
};
// Rewrites queue.txt from the pending list, replacing the old file only once the new one is
// complete.
queue_save_status save_queue();
// Writes the queue file's text for the pending list, and the kept texts, to `file`; false
// when a write failed.
bool write_queue(FILE* file);

// Copies `source` without its carriage returns and terminates the copy; the bytes copied.
size_t copy_without_cr(char* destination, const char* source);
