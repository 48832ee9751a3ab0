#pragma once
// queue.txt edited while the program runs. The file is read at the start and rewritten at each
// save from the queue held in memory; items the user adds to it meanwhile, as the empty
// collection's page tells them to, would be overwritten. So the file as this program last read
// or wrote it is remembered, and before the queue is shown or saved the items added to it since
// are taken in.
#include <cstdint>

// Whether the items taken in are recorded for the other computers of a sync folder at once.
enum class queue_edit_sharing {
    now,  // from the window: they are new items like an import's
    at_next_start,  // inside a save, which may come in the middle of applying others' changes
};

struct queue_file_edits {
    uint32_t added = 0;  // items the file holds that it did not hold when last read or written
};

// Remembers queue.txt of the data directory as it is now: what identifies the file on disk,
// and a hash of each item the queue holds (as just read from it, or just written to it).
void remember_queue_file();
// When queue.txt is no longer the file remembered: the items it holds beyond those it held then
// join the end of the queue, in the file's order (categories it names are made); the others,
// the queue already has or has taken out this session. An item deleted from the file stays
// queued: the file is not the queue's only record (the browser deletes queued items). The file
// as it is now is remembered.
queue_file_edits take_queue_file_edits(queue_edit_sharing sharing = queue_edit_sharing::now);
// Whether queue.txt is no longer the file remembered (a look at its directory entry only).
bool queue_file_changed();
